// hidraw against a fake sysfs tree: enumeration, the write thread at close,
// and supported devices that are present but cannot be opened (the manager's
// scans report each once, with its node, product name and reason, and stop
// reporting it when it opens or leaves). Device nodes open as the test says
// (tests run as root, where file modes stop nothing).

#include "hid/hid.h"
#include "hid/hid_hidraw.h"
#include "support/TestBus.h"
#include "usb/UsbManager.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <memory>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// A fake sysfs tree of hidraw devices, as the backend reads it: the class
// entry, the HID device's uevent and report descriptor, and the USB
// interface and device above it with their attributes. Empty: no such file.
struct FakeHidraw
{
    QString node; // hidrawN
    QByteArray uevent{};
    QString usbProduct{};
    bool linked = true; // class/hidraw/N/device exists
    QString usbSerial{};
    QString interface = "00";
    QByteArray descriptor{};
};

QString usbDir(const QString& root, const QString& node)
{
    return root + "/devices/pci0000:00/usb1/1-" + node;
}

bool put(const QString& path, const QByteArray& content)
{
    QFile f(path);
    return content.isEmpty() ||
           (f.open(QIODevice::WriteOnly) && f.write(content) == content.size());
}

bool addFakeHidraw(const QString& root, const FakeHidraw& d)
{
    const QString usb = usbDir(root, d.node);
    const QString iface = usb + "/1-" + d.node + ":1.0";
    const QString hid = iface + "/0003:0483:A355." + d.node;
    const QString entry = root + "/class/hidraw/" + d.node;
    const auto line = [](const QString& s) {
        return s.isEmpty() ? QByteArray() : s.toUtf8() + "\n";
    };
    return QDir().mkpath(hid + "/hidraw/" + d.node) && QDir().mkpath(entry) &&
           put(hid + "/uevent", d.uevent) && put(hid + "/report_descriptor", d.descriptor) &&
           put(iface + "/bInterfaceNumber", line(d.interface)) &&
           put(usb + "/product", line(d.usbProduct)) && put(usb + "/serial", line(d.usbSerial)) &&
           put(usb + "/manufacturer", "ORV\n") && put(usb + "/bcdDevice", "0210\n") &&
           (!d.linked ||
            ::symlink(hid.toUtf8().constData(), (entry + "/device").toUtf8().constData()) == 0);
}

bool removeFakeHidraw(const QString& root, const QString& node)
{
    return QDir(root + "/class/hidraw/" + node).removeRecursively() &&
           QDir(usbDir(root, node)).removeRecursively();
}

// A HID device's uevent with HID_ID "bus:vendor:product" in hex.
QByteArray fakeUevent(const char* hidId, const char* name = "Fallback Name")
{
    return QByteArray("DRIVER=hid-generic\nHID_ID=") + hidId + "\nHID_NAME=" + name +
           "\nHID_UNIQ=U1\nMODALIAS=hid:b0003\n";
}

// What opening a node does: 0 opens one end of a socket pair with little
// room (the test holds the other end: until it reads, writes wait), anything
// else fails with that error.
int openOutcome = 0;
int peer = -1;

int fakeOpen(const char*, int)
{
    if (openOutcome != 0) {
        errno = openOutcome;
        return -1;
    }
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, pair) != 0)
        return -1;
    const int room = 1;
    ::setsockopt(pair[0], SOL_SOCKET, SO_SNDBUF, &room, sizeof room);
    if (peer >= 0)
        ::close(peer);
    peer = pair[1];
    return pair[0];
}

} // namespace

class TestHidraw : public QObject
{
    Q_OBJECT

    QTemporaryDir root; // the wheel base on hidraw3

private slots:
    void initTestCase()
    {
        qunsetenv("ORV_HID_BACKEND");
        orvhid::setHidrawForTesting(root.path().toStdString(), fakeOpen);
        QVERIFY(addFakeHidraw(root.path(), {"hidraw3", fakeUevent("0003:00000483:0000A355"),
                                            "ORV Torvane Pro Wheel Base", true, "WB123", "02",
                                            QByteArray::fromHex("05010904a101850175089509")}));
    }
    void cleanupTestCase()
    {
        if (peer >= 0)
            ::close(peer);
    }

    void usbDevicesAndTheFilter()
    {
        // Another product of the vendor, and another vendor.
        int node = 4;
        for (const char* id : {"0003:00000483:0000A3BE", "0003:0000046D:0000C52B"})
            QVERIFY(
                addFakeHidraw(root.path(), {"hidraw" + QString::number(node++), fakeUevent(id)}));
        Enumeration list(orvhid::hidrawEnumerate(root.path().toStdString(), 0x0483, 0xA355));
        QVERIFY(list && !list->next);
        QCOMPARE(QString(list->path), QString("/dev/hidraw3"));
        QCOMPARE(int(list->release_number), 0x0210);
        QCOMPARE(QString::fromWCharArray(list->product_string),
                 QString("ORV Torvane Pro Wheel Base"));
        QCOMPARE(QString::fromWCharArray(list->serial_number), QString("WB123"));
        QCOMPARE(QString::fromWCharArray(list->manufacturer_string), QString("ORV"));
        QCOMPARE(list->interface_number, 2);
        QCOMPARE(int(list->usage_page), 1);
        QCOMPARE(int(list->usage), 4);
        const auto count = [&](unsigned short vid) {
            return countEntries(
                Enumeration(orvhid::hidrawEnumerate(root.path().toStdString(), vid, 0)).get());
        };
        QCOMPARE(count(0), 3);
        QCOMPARE(count(0x0483), 2);
        QVERIFY(removeFakeHidraw(root.path(), "hidraw4") &&
                removeFakeHidraw(root.path(), "hidraw5"));
    }

    void oddEntries_data()
    {
        QTest::addColumn<QByteArray>("ueventText");
        QTest::addColumn<QString>("usbProduct");
        QTest::addColumn<QString>("product"); // empty: not listed
        QTest::addColumn<int>("interfaceNumber");
        QTest::addColumn<bool>("linked");
        const auto row = [](const char* name, const QByteArray& uevent, const char* usbProduct,
                            const char* product, int interfaceNumber = 0, bool linked = true) {
            QTest::newRow(name) << uevent << QString(usbProduct) << QString(product)
                                << interfaceNumber << linked;
        };
        row("no usb product: HID_NAME", fakeUevent("0003:00000483:0000A3BE", "Pedals by name"), "",
            "Pedals by name");
        row("bluetooth: no interface", fakeUevent("0005:00000483:0000A355", "BT Wheel Base"),
            "ignored", "BT Wheel Base", -1);
        row("no uevent", QByteArray(), "x", "");
        row("vendor too wide", "HID_ID=0003:00010483:0000A355\n", "x", "");
        row("lines without =", "junk\n\n=\nHID_ID=0003:00000483:0000A355", "Wheel", "Wheel");
        row("dangling class entry", fakeUevent("0003:00000483:0000A355"), "x", "", 0, false);
    }
    void oddEntries()
    {
        QFETCH(QByteArray, ueventText);
        QFETCH(QString, usbProduct);
        QFETCH(QString, product);
        QFETCH(int, interfaceNumber);
        QFETCH(bool, linked);
        QTemporaryDir dir;
        QVERIFY(addFakeHidraw(dir.path(), {"hidraw0", ueventText, usbProduct, linked}));
        Enumeration list(orvhid::hidrawEnumerate(dir.path().toStdString(), 0, 0));
        QCOMPARE(bool(list), !product.isEmpty());
        if (list) {
            QCOMPARE(QString::fromWCharArray(list->product_string), product);
            QCOMPARE(list->interface_number, interfaceNumber);
        }
    }

    void outsideTheTreeIsRefused()
    {
        QVERIFY(!orvhid::hidrawEnumerate("/nonexistent/sys", 0, 0));
        QVERIFY(!orvhid::hidrawOpen("/nonexistent/sys", "/dev/hidraw0"));
        QVERIFY(!orvhid::hidrawOpen("/sys", "/etc/passwd"));
        QVERIFY(!orvhid::hidrawOpen("/sys", "/dev/../etc/passwd"));
    }

    // hidraw writes always go through the device's write thread; what was
    // handed over just before a close still reaches a device that takes it
    // (the last command, such as leaving calibration, matters).
    void queuedReportsGoOutBeforeClose()
    {
        openOutcome = 0;
        hid_device* dev = hid_open_path("/dev/hidraw3");
        QVERIFY(dev);
        unsigned char report[64] = {0x64};
        for (int i = 0; i < 16; ++i) {
            report[1] = uint8_t(i);
            QCOMPARE(hid_write(dev, report, sizeof report), 64);
        }
        QVERIFY(hid_write_pending(dev) > 0); // the device has not taken them all
        // The device takes the rest while the tool closes it.
        std::vector<int> received;
        std::thread device([&] {
            unsigned char buffer[64];
            while (::recv(peer, buffer, sizeof buffer, 0) == 64)
                received.push_back(buffer[1]);
        });
        hid_close(dev);
        ::shutdown(peer, SHUT_RDWR);
        device.join();
        QCOMPARE(received.size(), size_t(16));
        for (int i = 0; i < 16; ++i)
            QCOMPARE(received[size_t(i)], i);
    }

    void accessProblemReportedOnceUntilItOpensOrLeaves_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<bool>("leaves");
        QTest::newRow("no permission, then opens") << EACCES << "permission denied" << false;
        QTest::newRow("not permitted, then leaves") << EPERM << "permission denied" << true;
        QTest::newRow("busy, then opens") << EBUSY << "in use by another program" << false;
    }
    void accessProblemReportedOnceUntilItOpensOrLeaves()
    {
        QFETCH(int, error);
        QFETCH(QString, reason);
        QFETCH(bool, leaves);
        openOutcome = error;
        UsbManager manager;
        QSignalSpy changed(&manager.accessProblems(), &DeviceAccessMonitor::changed);
        for (int scan = 0; scan < 3; ++scan)
            QVERIFY(!manager.rescanForOrvDevices());
        QCOMPARE(changed.count(), 1); // said once, not at every scan
        const QList<DeviceAccessProblem> problems = manager.accessProblems().problems();
        QCOMPARE(problems.size(), 1);
        QCOMPARE(problems[0].path, QString("/dev/hidraw3"));
        QCOMPARE(problems[0].product, QString("ORV Torvane Pro Wheel Base"));
        QCOMPARE(problems[0].reason(), reason);

        if (leaves) {
            QVERIFY(removeFakeHidraw(root.path(), "hidraw3"));
            QVERIFY(!manager.rescanForOrvDevices());
        } else {
            openOutcome = 0;
            QVERIFY(manager.rescanForOrvDevices());
            QCOMPARE(manager.getDevices().size(), 1);
        }
        QCOMPARE(changed.count(), 2);
        QVERIFY(manager.accessProblems().problems().isEmpty());
        manager.rescanForOrvDevices();
        QCOMPARE(changed.count(), 2);
        if (leaves)
            initTestCase(); // put it back for the next row
    }
};

QTEST_GUILESS_MAIN(TestHidraw)
#include "tst_hidraw.moc"
