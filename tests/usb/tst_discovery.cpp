// Discovery: which devices become which objects, scan order, and the
// announcements of stop. The manager is not started: scans run by hand.

#include "devices/UsbDevice.h"
#include "sim/VhidEndpoint.h"
#include "support/TestBus.h"
#include "usb/UsbManager.h"
#include "vhid/BusFiles.h"

#include <QPointer>
#include <QSignalSpy>
#include <QThread>
#include <QTest>

#include <functional>
#include <memory>
#include <vector>

using orvsim::VhidEndpoint;

Q_DECLARE_METATYPE(UsbDevice*)

namespace {

bool scan(UsbManager& manager, ushort productId)
{
    bool result = false;
    const bool invoked = QMetaObject::invokeMethod(
        &manager, "doRescanForOrvDevices", Qt::DirectConnection, Q_RETURN_ARG(bool, result),
        Q_ARG(ushort, UsbManager::VendorId), Q_ARG(ushort, productId));
    return invoked && result;
}

UsbDevice* deviceAt(const QSignalSpy& spy, int i)
{
    return spy.at(i).at(0).value<UsbDevice*>();
}

} // namespace

class TestDiscovery : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qRegisterMetaType<UsbDevice*>();
        QVERIFY(bus.isValid());
        bus.useAsBackend();
    }

    void cleanup() { endpoints.clear(); }

    void classification_data()
    {
        QTest::addColumn<int>("productId");
        QTest::addColumn<QString>("product");
        QTest::addColumn<QString>("className"); // empty: no object

        QTest::newRow("wheel base") << 0xA355 << "ORV Torvane Pro Wheel Base"
                                    << "UsbDeviceOrvWheelBase";
        QTest::newRow("wheel base bootloader") << 0xA355 << "ORV Wheel Base Bootloader"
                                               << "UsbDeviceOrvBootloader";
        QTest::newRow("bootloader wins when both appear")
            << 0xA355 << "Bootloader of the Wheel Base"
            << "UsbDeviceOrvBootloader";
        QTest::newRow("lower case is not a match") << 0xA355 << "orv wheel base bootloader"
                                                   << "";
        QTest::newRow("pedals string on the wheel base id") << 0xA355 << "ORV Pedals"
                                                            << "";
        QTest::newRow("no product string") << 0xA355 << ""
                                           << "";
        QTest::newRow("pedals") << 0xA3BE << "ORV Torvane Pedals"
                                << "UsbDeviceOrvPedals";
        QTest::newRow("pedals bootloader") << 0xA3BE << "Pedals Bootloader"
                                           << "UsbDeviceOrvBootloader";
        QTest::newRow("wheel base string on the pedals id") << 0xA3BE << "Wheel Base"
                                                            << "";
        QTest::newRow("A111 whatever it says") << 0xA111 << "anything"
                                               << "UsbDeviceOrvWheelBase";
        QTest::newRow("A112 whatever it says") << 0xA112 << ""
                                               << "UsbDeviceOrvPedals";
        QTest::newRow("A110 whatever it says") << 0xA110 << "Pedals"
                                               << "UsbDeviceOrvBootloader";
        QTest::newRow("5C05 whatever it says") << 0x5C05 << ""
                                               << "UsbDeviceOrvBootloader";
        QTest::newRow("unknown id") << 0xA356 << "Wheel Base"
                                    << "";
    }

    void classification()
    {
        QFETCH(int, productId);
        QFETCH(QString, product);
        QFETCH(QString, className);

        VhidEndpoint* ep = plug("dev", uint16_t(productId), product.toStdString());
        QVERIFY(ep);
        UsbManager manager;
        QSignalSpy connected(&manager, &UsbManager::onDeviceConnected);
        // Receivers may look the device up: it is in the table already.
        bool inTable = false;
        connect(&manager, &UsbManager::onDeviceConnected, this, [&](UsbDevice* device) {
            inTable = manager.getDevice(device->getPath()) == device;
        });
        QCOMPARE(scan(manager, ushort(productId)), !className.isEmpty());
        QCOMPARE(inTable, !className.isEmpty());
        QCOMPARE(connected.count(), className.isEmpty() ? 0 : 1);
        if (className.isEmpty()) {
            // A rejected device is closed again at once.
            QVERIFY(waitUntil([&] { return ep->connectionCount() == 0; }, 2000));
            QVERIFY(manager.getDevices().isEmpty());
            return;
        }
        UsbDevice* device = deviceAt(connected, 0);
        QCOMPARE(QString(device->metaObject()->className()), className);
        QCOMPARE(device->getProductName(), product);
        QCOMPARE(device->getSerialNumber(), QString("S1"));
        QCOMPARE(device->getPath(), bus.path() + "/dev.sock");
        QCOMPARE(manager.getDevices(), QList<UsbDevice*>{device});
        QCOMPARE(manager.getDevice(bus.path() + "/dev.sock"), device);
        QVERIFY(!manager.getDevice(bus.path() + "/DEV.sock"));
    }

    void wheelBaseAndPedalsAreFoundOneScanApart()
    {
        VhidEndpoint* pedals = plug("pedals", 0xA3BE, "ORV Pedals");
        VhidEndpoint* wheel = plug("wheel", 0xA355, "ORV Wheel Base");
        QVERIFY(pedals && wheel);
        UsbManager manager;
        QSignalSpy connected(&manager, &UsbManager::onDeviceConnected);

        QVERIFY(manager.rescanForOrvDevices());
        QCOMPARE(connected.count(), 1);
        QCOMPARE(QString(deviceAt(connected, 0)->metaObject()->className()),
                 QString("UsbDeviceOrvWheelBase"));
        QVERIFY(manager.rescanForOrvDevices());
        QCOMPARE(connected.count(), 2);
        QCOMPARE(QString(deviceAt(connected, 1)->metaObject()->className()),
                 QString("UsbDeviceOrvPedals"));
        // Devices already open are not opened again.
        QVERIFY(!manager.rescanForOrvDevices());
        QCOMPARE(connected.count(), 2);
        QTest::qWait(50);
        QCOMPARE(wheel->connectionCount() + pedals->connectionCount(), 2);
    }

    void unopenableDeviceIsRetried()
    {
        // Announced before it listens: the open fails, the next scan succeeds.
        VhidEndpoint* ep = plug("wheel", 0xA355, "Wheel Base");
        QVERIFY(ep);
        ep->unplug();
        QVERIFY(vhid::writeFileAtomically(ep->infoPath(), ep->info().format()));
        UsbManager manager;
        QSignalSpy connected(&manager, &UsbManager::onDeviceConnected);
        QVERIFY(!manager.rescanForOrvDevices());
        QVERIFY(ep->plug());
        QVERIFY(manager.rescanForOrvDevices());
        QCOMPARE(connected.count(), 1);
    }

    void stopAnnouncesInPathOrderOnce()
    {
        // Created in one scan in enumeration order; announced at stop by path.
        for (const char* stem : {"c", "a", "b"})
            QVERIFY(plug(stem, 0xA355, "Wheel Base"));
        UsbManager manager;
        QVERIFY(manager.rescanForOrvDevices());
        QSignalSpy disconnected(&manager, &UsbManager::onDeviceDisconnected);
        QStringList announced;
        connect(&manager, &UsbManager::onDeviceDisconnected, this,
                [&](UsbDevice* device) { announced << device->getPath().section('/', -1); });
        manager.stop();
        QCOMPARE(announced, (QStringList{"a.sock", "b.sock", "c.sock"}));
        QVERIFY(manager.getDevices().isEmpty());
        manager.stop();
        QCOMPARE(disconnected.count(), 3);
        // The handles were closed with their objects.
        QVERIFY(waitUntil(
            [&] {
                for (auto& ep : endpoints)
                    if (ep->connectionCount() != 0)
                        return false;
                return true;
            },
            2000));
    }

    // A receiver of an arrival may run the event loop (a modal dialog), in
    // which the rescan timer fires: that scan must not open the devices the
    // outer scan found but has not announced yet.
    void scanInsideAnArrivalOpensNothingTwice()
    {
        for (const char* stem : {"a", "b"})
            QVERIFY(plug(stem, 0xA355, "Wheel Base"));
        UsbManager manager;
        QStringList announced;
        connect(&manager, &UsbManager::onDeviceConnected, this, [&](UsbDevice* device) {
            announced << device->getPath().section('/', -1);
            if (announced.size() == 1)
                QVERIFY(!manager.rescanForOrvDevices());
        });
        QVERIFY(manager.rescanForOrvDevices());
        QCOMPARE(announced, (QStringList{"a.sock", "b.sock"}));
        QCOMPARE(manager.getDevices().size(), 2);
        QVERIFY(!manager.rescanForOrvDevices());
    }

    // A departure still queued when the manager goes is not lost: its device
    // is released with the manager.
    void departureQueuedAtDestructionIsReleased()
    {
        VhidEndpoint* ep = plug("wheel", 0xA355, "Wheel Base");
        QVERIFY(ep);
        QPointer<UsbDevice> device;
        {
            UsbManager manager;
            QVERIFY(manager.rescanForOrvDevices());
            device = manager.getDevices().value(0);
            manager.start(false);
            ep->unplug();
            // The reader drops it; its announcement waits in the event queue.
            QVERIFY(waitUntilNoEvents([&] { return manager.getDevices().isEmpty(); }, 3000));
            QVERIFY(device);
        }
        QVERIFY(!device);
    }

private:
    // Waits without running the event loop, so queued calls stay queued.
    static bool waitUntilNoEvents(const std::function<bool()>& done, int timeoutMs)
    {
        for (int waited = 0; !done(); waited += 5) {
            if (waited > timeoutMs)
                return false;
            QThread::msleep(5);
        }
        return true;
    }

    VhidEndpoint* plug(const std::string& stem, uint16_t productId, const std::string& product)
    {
        endpoints.push_back(std::make_unique<VhidEndpoint>(bus.stdPath(), stem,
                                                           testDeviceInfo(productId, product)));
        return endpoints.back()->plug() ? endpoints.back().get() : nullptr;
    }

    TestBus bus;
    std::vector<std::unique_ptr<VhidEndpoint>> endpoints;
};

QTEST_GUILESS_MAIN(TestDiscovery)
#include "tst_discovery.moc"
