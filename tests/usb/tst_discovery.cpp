// Discovery: which devices become which objects, scan order, and the
// announcements of stop. The manager is not started: scans run by hand.

#include "devices/UsbDevice.h"
#include "sim/VhidEndpoint.h"
#include "support/TestBus.h"
#include "usb/UsbManager.h"
#include "vhid/BusFiles.h"

#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

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

        const auto row = [](const char* name, int id, const char* product, const char* kind) {
            QTest::newRow(name) << id << QString(product) << QString(kind);
        };
        row("wheel base", 0xA355, "ORV Torvane Pro Wheel Base", "UsbDeviceOrvWheelBase");
        row("wheel base bootloader", 0xA355, "ORV Wheel Base Bootloader", "UsbDeviceOrvBootloader");
        row("bootloader wins when both appear", 0xA355, "Bootloader of the Wheel Base",
            "UsbDeviceOrvBootloader");
        row("lower case is not a match", 0xA355, "orv wheel base bootloader", "");
        row("pedals string on the wheel base id", 0xA355, "ORV Pedals", "");
        row("no product string", 0xA355, "", "");
        row("pedals", 0xA3BE, "ORV Torvane Pedals", "UsbDeviceOrvPedals");
        row("pedals bootloader", 0xA3BE, "Pedals Bootloader", "UsbDeviceOrvBootloader");
        row("wheel base string on the pedals id", 0xA3BE, "Wheel Base", "");
        row("A111 whatever it says", 0xA111, "anything", "UsbDeviceOrvWheelBase");
        row("A112 whatever it says", 0xA112, "", "UsbDeviceOrvPedals");
        row("A110 whatever it says", 0xA110, "Pedals", "UsbDeviceOrvBootloader");
        row("5C05 whatever it says", 0x5C05, "", "UsbDeviceOrvBootloader");
        row("unknown id", 0xA356, "Wheel Base", "");
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

    // A receiver of an arrival may run the event loop (a modal dialog), in
    // which the rescan timer fires: that scan must not open the devices the
    // outer scan found but has not announced yet. Stop then announces each
    // once, in path order, and closes their handles.
    void scanInsideAnArrivalThenStop()
    {
        for (const char* stem : {"c", "a", "b"})
            QVERIFY(plug(stem, 0xA355, "Wheel Base"));
        UsbManager manager;
        QStringList arrived, left;
        connect(&manager, &UsbManager::onDeviceConnected, this, [&](UsbDevice* device) {
            arrived << device->getPath().section('/', -1);
            if (arrived.size() == 1)
                QVERIFY(!manager.rescanForOrvDevices());
        });
        connect(&manager, &UsbManager::onDeviceDisconnected, this,
                [&](UsbDevice* device) { left << device->getPath().section('/', -1); });
        QVERIFY(manager.rescanForOrvDevices());
        const QStringList all{"a.sock", "b.sock", "c.sock"};
        QCOMPARE(arrived, all);
        QCOMPARE(manager.getDevices().size(), 3);
        QVERIFY(!manager.rescanForOrvDevices());
        manager.stop();
        manager.stop();
        QCOMPARE(left, all);
        QVERIFY(manager.getDevices().isEmpty());
        QVERIFY(waitUntil(
            [&] {
                for (auto& ep : endpoints)
                    if (ep->connectionCount() != 0)
                        return false;
                return true;
            },
            2000));
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
