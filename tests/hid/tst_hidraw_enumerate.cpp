// hidraw enumeration against a fake sysfs tree.

#include "hid/hid.h"
#include "hid/hid_hidraw.h"
#include "support/FakeSysfs.h"

#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <thread>
#include <vector>
#include <sys/socket.h>
#include <unistd.h>

namespace {

struct EnumerationDeleter
{
    void operator()(hid_device_info* list) const { hid_free_enumeration(list); }
};
using Enumeration = std::unique_ptr<hid_device_info, EnumerationDeleter>;

int peer = -1;

// A node that opens as one end of a socket pair with little room: the test
// reads the other end, and until it does, writes wait.
int openPair(const char*, int)
{
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, pair) != 0)
        return -1;
    const int room = 1;
    ::setsockopt(pair[0], SOL_SOCKET, SO_SNDBUF, &room, sizeof room);
    peer = pair[1];
    return pair[0];
}

} // namespace

class TestHidrawEnumerate : public QObject
{
    Q_OBJECT

private slots:
    void usbDevicesAndTheFilter()
    {
        QTemporaryDir root;
        FakeHidraw d;
        d.node = "hidraw3";
        d.uevent = fakeUevent("0003:00000483:0000A355");
        d.usbProduct = "ORV Torvane Pro Wheel Base";
        d.usbSerial = "WB123";
        d.interface = "02";
        d.descriptor = QByteArray::fromHex("05010904a101850175089509");
        QVERIFY(addFakeHidraw(root.path(), d));
        // Another product of the vendor, and another vendor.
        int node = 4;
        for (const char* id : {"0003:00000483:0000A3BE", "0003:0000046D:0000C52B"}) {
            d = FakeHidraw{};
            d.node = "hidraw" + QString::number(node++);
            d.uevent = fakeUevent(id);
            QVERIFY(addFakeHidraw(root.path(), d));
        }

        Enumeration list(orvhid::hidrawEnumerate(root.path().toStdString(), 0x0483, 0xA355));
        QVERIFY(list);
        QVERIFY(!list->next);
        QCOMPARE(QString(list->path), QString("/dev/hidraw3"));
        QCOMPARE(int(list->vendor_id), 0x0483);
        QCOMPARE(int(list->product_id), 0xA355);
        QCOMPARE(int(list->release_number), 0x0210);
        QCOMPARE(QString::fromWCharArray(list->product_string),
                 QString("ORV Torvane Pro Wheel Base"));
        QCOMPARE(QString::fromWCharArray(list->serial_number), QString("WB123"));
        QCOMPARE(QString::fromWCharArray(list->manufacturer_string), QString("ORV"));
        QCOMPARE(list->interface_number, 2);
        QCOMPARE(int(list->usage_page), 1);
        QCOMPARE(int(list->usage), 4);

        auto count = [&](unsigned short vid, unsigned short pid) {
            Enumeration all(orvhid::hidrawEnumerate(root.path().toStdString(), vid, pid));
            int n = 0;
            for (hid_device_info* e = all.get(); e; e = e->next)
                ++n;
            return n;
        };
        QCOMPARE(count(0, 0), 3);
        QCOMPARE(count(0x0483, 0), 2);
        QCOMPARE(count(0x0483, 0xA111), 0);
    }

    void oddEntries_data()
    {
        QTest::addColumn<QByteArray>("ueventText");
        QTest::addColumn<bool>("linked");
        QTest::addColumn<QString>("usbProduct");
        QTest::addColumn<bool>("listed");
        QTest::addColumn<QString>("product");
        QTest::addColumn<int>("interfaceNumber");

        QTest::newRow("no usb product: HID_NAME")
            << fakeUevent("0003:00000483:0000A3BE", "Pedals by name") << true << QString() << true
            << "Pedals by name" << 0;
        QTest::newRow("bluetooth: no interface")
            << fakeUevent("0005:00000483:0000A355", "BT Wheel Base") << true << "ignored" << true
            << "BT Wheel Base" << -1;
        QTest::newRow("no uevent") << QByteArray() << true << "x" << false << "" << 0;
        QTest::newRow("no HID_ID")
            << QByteArray("HID_NAME=x\nDRIVER=y\n") << true << "x" << false << "" << 0;
        QTest::newRow("short HID_ID")
            << QByteArray("HID_ID=0003:0483\n") << true << "x" << false << "" << 0;
        QTest::newRow("garbage HID_ID")
            << QByteArray("HID_ID=zz:yy:xx\n") << true << "x" << false << "" << 0;
        QTest::newRow("vendor too wide")
            << QByteArray("HID_ID=0003:00010483:0000A355\n") << true << "x" << false << "" << 0;
        QTest::newRow("lines without =") << QByteArray("junk\n\n=\nHID_ID=0003:00000483:0000A355")
                                         << true << "Wheel" << true << "Wheel" << 0;
        QTest::newRow("dangling class entry")
            << fakeUevent("0003:00000483:0000A355") << false << "x" << false << "" << 0;
    }

    void oddEntries()
    {
        QFETCH(QByteArray, ueventText);
        QFETCH(bool, linked);
        QFETCH(QString, usbProduct);
        QFETCH(bool, listed);
        QFETCH(QString, product);
        QFETCH(int, interfaceNumber);

        QTemporaryDir root;
        FakeHidraw d;
        d.node = "hidraw0";
        d.uevent = ueventText.isEmpty() ? QByteArray() : ueventText;
        d.usbProduct = usbProduct;
        d.linked = linked;
        QVERIFY(addFakeHidraw(root.path(), d));

        Enumeration list(orvhid::hidrawEnumerate(root.path().toStdString(), 0, 0));
        QCOMPARE(bool(list), listed);
        if (listed) {
            QCOMPARE(QString::fromWCharArray(list->product_string), product);
            QCOMPARE(list->interface_number, interfaceNumber);
        }
    }

    // hidraw writes always go through the device's write thread; what was
    // handed over just before a close still reaches a device that takes it
    // (the last command, such as leaving calibration, matters).
    void queuedReportsGoOutBeforeClose()
    {
        QTemporaryDir root;
        FakeHidraw d;
        d.node = "hidraw3";
        d.uevent = fakeUevent("0003:00000483:0000A355");
        QVERIFY(addFakeHidraw(root.path(), d));
        orvhid::setHidrawForTesting(root.path().toStdString(), openPair);
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
        ::close(peer);
        orvhid::setHidrawForTesting("/sys", nullptr);
    }

    void missingTree()
    {
        QVERIFY(!orvhid::hidrawEnumerate("/nonexistent/sys", 0, 0));
        QVERIFY(!orvhid::hidrawOpen("/nonexistent/sys", "/dev/hidraw0"));
        QVERIFY(!orvhid::hidrawOpen("/sys", "/etc/passwd"));
        QVERIFY(!orvhid::hidrawOpen("/sys", "/dev/../etc/passwd"));
    }
};

QTEST_GUILESS_MAIN(TestHidrawEnumerate)
#include "tst_hidraw_enumerate.moc"
