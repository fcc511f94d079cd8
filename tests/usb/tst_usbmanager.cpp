// The manager against devices on a private bus: which devices become which
// objects and the scans that find them (run by hand), then the reader thread
// handing reports to their objects on the main thread, and the announcements
// of departures and of stop.

#include "devices/UsbDeviceOrvWheelBase.h"
#include "hid/hid.h"
#include "support/FakeDevice.h"
#include "support/TestBus.h"
#include "usb/UsbManager.h"
#include "vhid/BusFiles.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <cstring>
#include <map>
#include <memory>
#include <vector>

Q_DECLARE_METATYPE(UsbDevice*)

namespace {

using Report = FakeDevice::Report;

// A report (joystick, or with 0x64 a command) numbered where no field lives.
Report numbered(uint32_t sequence, size_t size = 64, uint8_t id = 0x01)
{
    Report r(size, 0);
    if (size > 0)
        r[0] = id;
    if (size >= 12)
        std::memcpy(&r[8], &sequence, 4);
    return r;
}

uint32_t sequenceOf(const uint8_t* bytes)
{
    uint32_t sequence = 0;
    std::memcpy(&sequence, bytes, 4);
    return sequence;
}

struct Delivery
{
    uint32_t sequence;
    uint64_t readTime;
};

} // namespace

class TestUsbManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qRegisterMetaType<UsbDevice*>();
        QVERIFY(bus.isValid());
        bus.useAsBackend();
    }
    void init()
    {
        manager = std::make_unique<UsbManager>();
        connected = std::make_unique<QSignalSpy>(manager.get(), &UsbManager::onDeviceConnected);
        disconnected =
            std::make_unique<QSignalSpy>(manager.get(), &UsbManager::onDeviceDisconnected);
        connect(manager.get(), &UsbManager::onDeviceConnected, this, &TestUsbManager::track);
    }
    void cleanup()
    {
        manager.reset();
        connected.reset();
        disconnected.reset();
        endpoints.clear();
        delivered.clear();
        order.clear();
    }

    void classification_data()
    {
        QTest::addColumn<int>("productId");
        QTest::addColumn<QString>("product");
        QTest::addColumn<QString>("className"); // empty: no object

        const auto row = [](const char* name, int id, const char* product, const char* kind) {
            QTest::newRow(name) << id << QString(product) << QString(kind);
        };
        row("wheel base", 0xA355, "ORV Torvane Pro Wheel Base", "UsbDeviceOrvWheelBase");
        row("bootloader wins when both appear", 0xA355, "Bootloader of the Wheel Base",
            "UsbDeviceOrvBootloader");
        row("lower case is not a match", 0xA355, "orv wheel base bootloader", "");
        row("pedals string on the wheel base id", 0xA355, "ORV Pedals", "");
        row("pedals", 0xA3BE, "ORV Torvane Pedals", "UsbDeviceOrvPedals");
        row("pedals bootloader", 0xA3BE, "Pedals Bootloader", "UsbDeviceOrvBootloader");
        row("wheel base string on the pedals id", 0xA3BE, "Wheel Base", "");
        row("A111 whatever it says", 0xA111, "anything", "UsbDeviceOrvWheelBase");
        row("A112 whatever it says", 0xA112, "", "UsbDeviceOrvPedals");
        row("A110 whatever it says", 0xA110, "Pedals", "UsbDeviceOrvBootloader");
        row("unknown id", 0xA356, "Wheel Base", "");
    }

    void classification()
    {
        QFETCH(int, productId);
        QFETCH(QString, product);
        QFETCH(QString, className);

        FakeDevice* ep = plug("dev", uint16_t(productId), product.toStdString());
        QVERIFY(ep);
        // Receivers may look the device up: it is in the table already.
        bool inTable = false;
        QObject scope; // the lambda captures locals: disconnect it when they go
        connect(manager.get(), &UsbManager::onDeviceConnected, &scope, [&](UsbDevice* device) {
            inTable = manager->getDevice(device->getPath()) == device;
        });
        bool found = false;
        QVERIFY(QMetaObject::invokeMethod(
            manager.get(), "doRescanForOrvDevices", Qt::DirectConnection, Q_RETURN_ARG(bool, found),
            Q_ARG(ushort, UsbManager::VendorId), Q_ARG(ushort, ushort(productId))));
        QCOMPARE(found, !className.isEmpty());
        QCOMPARE(inTable, !className.isEmpty());
        QCOMPARE(connected->count(), className.isEmpty() ? 0 : 1);
        if (className.isEmpty()) {
            // A rejected device is closed again at once.
            QVERIFY(waitUntil([&] { return ep->endpoint.connectionCount() == 0; }, 2000));
            QVERIFY(manager->getDevices().isEmpty());
            return;
        }
        UsbDevice* device = connected->at(0).at(0).value<UsbDevice*>();
        QCOMPARE(QString(device->metaObject()->className()), className);
        QCOMPARE(device->getProductName(), product);
        QCOMPARE(device->getSerialNumber(), QString("S1"));
        QCOMPARE(device->getPath(), bus.path() + "/dev.sock");
        QCOMPARE(manager->getDevices(), QList<UsbDevice*>{device});
    }

    void unopenableDeviceIsRetried()
    {
        // Announced before it listens: the open fails, the next scan succeeds.
        FakeDevice* ep = plug("wheel", 0xA355, "Wheel Base");
        QVERIFY(ep);
        ep->unplug();
        QVERIFY(vhid::writeFileAtomically(ep->endpoint.infoPath(), ep->endpoint.info().format()));
        QVERIFY(!manager->rescanForOrvDevices());
        QVERIFY(ep->plug());
        QVERIFY(manager->rescanForOrvDevices());
        QCOMPARE(connected->count(), 1);
    }

    // A receiver of an arrival may run the event loop (a modal dialog), in
    // which the rescan timer fires: that scan must not open the devices the
    // outer scan found but has not announced yet. Stop then announces each
    // once, in path order, and closes their handles.
    void scanInsideAnArrivalThenStop()
    {
        for (const char* stem : {"c", "a", "b"})
            QVERIFY(plug(stem, 0xA355, "Wheel Base"));
        QStringList arrived, left;
        QObject scope; // the lambdas capture locals: disconnect them when they go
        connect(manager.get(), &UsbManager::onDeviceConnected, &scope, [&](UsbDevice* device) {
            arrived << device->getPath().section('/', -1);
            if (arrived.size() == 1)
                QVERIFY(!manager->rescanForOrvDevices());
        });
        connect(manager.get(), &UsbManager::onDeviceDisconnected, &scope,
                [&](UsbDevice* device) { left << device->getPath().section('/', -1); });
        QVERIFY(manager->rescanForOrvDevices());
        const QStringList all{"a.sock", "b.sock", "c.sock"};
        QCOMPARE(arrived, all);
        QCOMPARE(manager->getDevices().size(), 3);
        QVERIFY(!manager->rescanForOrvDevices());
        manager->stop();
        manager->stop();
        QCOMPARE(left, all);
        QVERIFY(manager->getDevices().isEmpty());
        QVERIFY(waitUntil([&] { return connections(0); }, 2000));
    }

    // A departure still queued when the manager goes is not lost: its device
    // is released with the manager.
    void departureQueuedAtDestructionIsReleased()
    {
        FakeDevice* ep = plug("wheel", 0xA355, "Wheel Base");
        QVERIFY(ep);
        QVERIFY(manager->rescanForOrvDevices());
        QPointer<UsbDevice> device = manager->getDevices().value(0);
        manager->start(false);
        ep->unplug();
        // The reader drops it; its announcement waits in the event queue,
        // which is not run here.
        for (int i = 0; i < 600 && !manager->getDevices().isEmpty(); ++i)
            QThread::msleep(5);
        QVERIFY(manager->getDevices().isEmpty());
        QVERIFY(device);
        manager.reset();
        QVERIFY(!device);
    }

    // Only full reports, in order, each device's as they come: a silent one
    // (sorted first) holds up no other.
    void fullReportsInOrderPerDevice()
    {
        FakeDevice* quiet = plug("a-quiet");
        FakeDevice* busy = plug("b-busy");
        FakeDevice* other = plug("c-other");
        QVERIFY(quiet && busy && other && startAndWaitFor(3));
        // Odd sizes in between are never delivered; nothing after them is lost.
        for (const Report& r : {numbered(100, 63), numbered(101, 0), numbered(102, 65)})
            QVERIFY(busy->send(r) == 1);
        auto& fromBusy = delivered[busy->path()];
        auto& fromOther = delivered[other->path()];
        for (uint32_t s = 1; s <= 200; ++s) {
            QVERIFY(busy->send(numbered(s)) == 1 && other->send(numbered(s + 1000)) == 1);
            if (s % 25 == 0)
                QVERIFY(waitUntil([&] { return fromBusy.size() >= s; }, 2000));
        }
        QVERIFY(waitUntil([&] { return fromBusy.size() >= 200 && fromOther.size() >= 200; }, 3000));
        QTest::qWait(50);
        QCOMPARE(fromBusy.size(), size_t(200));
        QCOMPARE(fromOther.size(), size_t(200));
        for (uint32_t i = 0; i < 200; ++i) {
            QCOMPARE(fromBusy[i].sequence, i + 1);
            QCOMPARE(fromOther[i].sequence, i + 1001);
            QVERIFY(i == 0 || fromBusy[i].readTime >= fromBusy[i - 1].readTime);
        }
        QVERIFY(delivered[quiet->path()].empty());
        // Microseconds since 1970: later than 2020, earlier than 2100.
        QVERIFY(fromBusy[0].readTime > 1577836800ull * 1000000ull);
        QVERIFY(fromBusy[0].readTime < 4102444800ull * 1000000ull);
    }

    // Paused, the reader reads nothing; both ready at once on resume, the
    // smaller path is delivered first.
    void pausedThenSmallerPathFirst()
    {
        FakeDevice* first = plug("a-wheel");
        FakeDevice* second = plug("b-wheel");
        QVERIFY(first && second && startAndWaitFor(2));
        manager->pause();
        QTest::qWait(UsbManager::ReadWaitMs + 150); // the pass under way ends
        QVERIFY(second->send(numbered(2)) == 1);
        QVERIFY(first->send(numbered(1)) == 1);
        QTest::qWait(200);
        QVERIFY(order.isEmpty());
        manager->resume();
        QVERIFY(waitUntil([&] { return order.size() == 2; }, 2000));
        QCOMPARE(order, (QStringList{first->path(), second->path()}));
    }

    // Announced while the object still lives, deleted right after.
    void unplugAnnouncesThenDeletes()
    {
        FakeDevice* ep = plug("wheel");
        QVERIFY(ep && startAndWaitFor(1));
        QPointer<UsbDevice> first = connected->at(0).at(0).value<UsbDevice*>();
        UsbDevice* const firstObject = first.data();
        UsbDevice* announced = nullptr;
        bool aliveDuringSignal = false;
        QObject scope; // the lambda captures locals: disconnect it when they go
        connect(manager.get(), &UsbManager::onDeviceDisconnected, &scope, [&](UsbDevice* device) {
            announced = device;
            aliveDuringSignal = !first.isNull();
        });
        ep->unplug();
        QVERIFY(waitUntil([&] { return disconnected->count() == 1; }, 2000));
        QCOMPARE(announced, firstObject);
        QVERIFY(aliveDuringSignal);
        QVERIFY(first.isNull());
        QVERIFY(manager->getDevices().isEmpty());
    }

    // Plugged before start: the first scan a second after start finds the
    // wheel base, the next one the pedals.
    void oneKindPerScanFromASecondAfterStart()
    {
        QVERIFY(plug("a-pedals", 0xA3BE, "ORV Pedals") && plug("b-wheel"));
        QElapsedTimer clock;
        QList<qint64> at;
        QStringList kinds;
        QObject scope; // the lambda captures locals: disconnect it when they go
        connect(manager.get(), &UsbManager::onDeviceConnected, &scope, [&](UsbDevice* device) {
            at << clock.elapsed();
            kinds << device->metaObject()->className();
        });
        clock.start();
        manager->start(false);
        QVERIFY(waitUntil([&] { return at.size() == 2; }, 5000));
        QCOMPARE(kinds, (QStringList{"UsbDeviceOrvWheelBase", "UsbDeviceOrvPedals"}));
        const QByteArray times = QByteArray::number(at[0]) + " " + QByteArray::number(at[1]);
        QVERIFY2(at[0] >= 900 && at[0] < 3000, times);
        QVERIFY2(at[1] - at[0] >= 900 && at[1] - at[0] < 3000, times);
    }

    // A device that stops taking reports holds up only its own write thread:
    // once its queue is full each write fails at once, what was taken goes
    // out in order when the device reads again, and closing it while its
    // write is stuck writes nothing more.
    void hungDeviceNeverHoldsUpTheWriter()
    {
        FakeDevice* ep = plug("wheel");
        QVERIFY(ep && startAndWaitFor(1));
        hid_device* device = manager->getDevices().at(0)->device;
        uint32_t next = 0;
        // Writes until they have failed for a while: the write thread is stuck.
        auto fill = [&] {
            const uint32_t from = next;
            for (int failedInARow = 0; failedInARow < 10 && next - from < 100000;) {
                if (hid_write(device, numbered(next, 64, 0x64).data(), 64) == 64) {
                    ++next;
                    failedInARow = 0;
                } else {
                    ++failedInARow;
                    QTest::qSleep(20);
                }
            }
            return next - from;
        };

        ep->setReading(false);
        const uint32_t taken = fill();
        // The device's own buffer, the one under way and a full queue.
        QVERIFY2(taken > HID_WRITE_QUEUE_LENGTH + 1 && taken < 100000, QByteArray::number(taken));
        ep->setReading(true);
        QVERIFY(waitUntil([&] { return ep->count() == taken; }, 5000));
        QVERIFY(hid_write(device, numbered(next++, 64, 0x64).data(), 64) == 64);
        QVERIFY(waitUntil([&] { return ep->count() == taken + 1; }, 2000));

        ep->setReading(false);
        const uint32_t takenAgain = fill();
        manager->stop(); // closes the device while its write is stuck
        QCOMPARE(disconnected->count(), 1);
        ep->setReading(true);
        // Only what the device's buffer held arrives: the write under way and
        // the queue behind it were dropped with the device.
        const size_t expected = taken + 1 + takenAgain - HID_WRITE_QUEUE_LENGTH - 1;
        QVERIFY(waitUntil([&] { return ep->count() >= expected; }, 5000));
        QTest::qWait(100);
        const std::vector<Report> got = ep->received();
        QCOMPARE(got.size(), expected);
        for (size_t i = 0; i < expected; ++i)
            QCOMPARE(sequenceOf(&got[i][8]), uint32_t(i));
    }

    void stopDropsQueuedReports()
    {
        FakeDevice* ep = plug("wheel");
        QVERIFY(ep && startAndWaitFor(1));
        const QString path = ep->path();
        for (uint32_t s = 1; s <= 100; ++s)
            ep->send(numbered(s));
        // Let the reader queue reports without the main thread handling them.
        QTest::qSleep(200);
        manager->stop();
        QCOMPARE(disconnected->count(), 1);
        const size_t before = delivered[path].size();
        QTest::qWait(50);
        QCOMPARE(delivered[path].size(), before);
    }

private:
    FakeDevice* plug(const std::string& stem, uint16_t productId = 0xA355,
                     const std::string& product = "ORV Wheel Base")
    {
        endpoints.push_back(
            std::make_unique<FakeDevice>(bus.stdPath(), stem, testDeviceInfo(productId, product)));
        return endpoints.back()->plug() ? endpoints.back().get() : nullptr;
    }
    // Scans at once rather than a second after start, then reads.
    bool startAndWaitFor(int count)
    {
        manager->rescanForOrvDevices();
        manager->start(false);
        return connected->count() == count && waitUntil([&] { return connections(1); }, 2000);
    }
    bool connections(int n)
    {
        for (auto& ep : endpoints)
            if (ep->endpoint.isPlugged() && ep->endpoint.connectionCount() != n)
                return false;
        return true;
    }
    void track(UsbDevice* device)
    {
        auto* wheel = qobject_cast<UsbDeviceOrvWheelBase*>(device);
        if (!wheel)
            return;
        const QString path = device->getPath();
        connect(wheel, &UsbDeviceOrvWheelBase::onJoystickUpdate, this,
                [this, path](UsbDevice*, OrvUsbWheelBaseJoystickUpdate* update, uint64_t readTime) {
                    const auto* bytes = reinterpret_cast<const uint8_t*>(update);
                    delivered[path].push_back({sequenceOf(bytes + 7), readTime});
                    order << path;
                });
    }

    TestBus bus;
    std::vector<std::unique_ptr<FakeDevice>> endpoints;
    std::unique_ptr<UsbManager> manager;
    std::unique_ptr<QSignalSpy> connected;
    std::unique_ptr<QSignalSpy> disconnected;
    std::map<QString, std::vector<Delivery>> delivered; // by path
    QStringList order;                                  // paths, in delivery order
};

QTEST_GUILESS_MAIN(TestUsbManager)
#include "tst_usbmanager.moc"
