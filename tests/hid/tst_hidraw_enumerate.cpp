// hidraw enumeration against a fake sysfs tree.

#include "hid/hid.h"
#include "hid/hid_hidraw.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <unistd.h>

namespace {

struct EnumerationDeleter
{
    void operator()(hid_device_info* list) const { hid_free_enumeration(list); }
};
using Enumeration = std::unique_ptr<hid_device_info, EnumerationDeleter>;

struct FakeHidraw
{
    QString node;       // hidrawN
    QByteArray uevent;  // the HID device's uevent, or null for none
    QString usbProduct; // the USB device's "product", empty for none
    QString usbSerial;  // "serial"
    QString interface = "00";
    QByteArray descriptor; // report_descriptor
    bool linked = true;    // class/hidraw/N/device exists
};

QByteArray uevent(const char* hidId, const char* name = "Fallback Name", const char* uniq = "U1")
{
    return QByteArray("DRIVER=hid-generic\nHID_ID=") + hidId + "\nHID_NAME=" + name +
           "\nHID_UNIQ=" + uniq + "\nMODALIAS=hid:b0003\n";
}

bool writeFile(const QString& path, const QByteArray& content)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(content) == content.size();
}

bool addDevice(const QString& root, const FakeHidraw& d)
{
    const QString usb = root + "/devices/pci0000:00/usb1/1-" + d.node;
    const QString iface = usb + "/1-" + d.node + ":1.0";
    const QString hid = iface + "/0003:0483:A355." + d.node;
    if (!QDir().mkpath(hid + "/hidraw/" + d.node) ||
        !QDir().mkpath(root + "/class/hidraw/" + d.node))
        return false;
    if (!d.uevent.isNull() && !writeFile(hid + "/uevent", d.uevent))
        return false;
    if (!d.descriptor.isEmpty() && !writeFile(hid + "/report_descriptor", d.descriptor))
        return false;
    if (!d.interface.isEmpty() &&
        !writeFile(iface + "/bInterfaceNumber", d.interface.toUtf8() + "\n"))
        return false;
    if (!d.usbProduct.isEmpty() && !writeFile(usb + "/product", d.usbProduct.toUtf8() + "\n"))
        return false;
    if (!d.usbSerial.isEmpty() && !writeFile(usb + "/serial", d.usbSerial.toUtf8() + "\n"))
        return false;
    writeFile(usb + "/manufacturer", "ORV\n");
    writeFile(usb + "/bcdDevice", "0210\n");
    if (d.linked)
        return ::symlink(hid.toUtf8().constData(),
                         (root + "/class/hidraw/" + d.node + "/device").toUtf8().constData()) == 0;
    return true;
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
        d.uevent = uevent("0003:00000483:0000A355");
        d.usbProduct = "ORV Torvane Pro Wheel Base";
        d.usbSerial = "WB123";
        d.interface = "02";
        d.descriptor = QByteArray::fromHex("05010904a101850175089509");
        QVERIFY(addDevice(root.path(), d));
        // Another product of the vendor, and another vendor.
        int node = 4;
        for (const char* id : {"0003:00000483:0000A3BE", "0003:0000046D:0000C52B"}) {
            d = FakeHidraw{};
            d.node = "hidraw" + QString::number(node++);
            d.uevent = uevent(id);
            QVERIFY(addDevice(root.path(), d));
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
            << uevent("0003:00000483:0000A3BE", "Pedals by name") << true << QString() << true
            << "Pedals by name" << 0;
        QTest::newRow("bluetooth: no interface")
            << uevent("0005:00000483:0000A355", "BT Wheel Base") << true << "ignored" << true
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
            << uevent("0003:00000483:0000A355") << false << "x" << false << "" << 0;
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
        QVERIFY(addDevice(root.path(), d));

        Enumeration list(orvhid::hidrawEnumerate(root.path().toStdString(), 0, 0));
        QCOMPARE(bool(list), listed);
        if (listed) {
            QCOMPARE(QString::fromWCharArray(list->product_string), product);
            QCOMPARE(list->interface_number, interfaceNumber);
        }
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
