// The running manager end to end: the reader thread against devices on a
// private bus, reports reaching their objects on the main thread.

#include "devices/UsbDeviceOrvWheelBase.h"
#include "hid/hid.h"
#include "sim/VhidEndpoint.h"
#include "support/TestBus.h"
#include "usb/UsbManager.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

using orvsim::VhidEndpoint;

Q_DECLARE_METATYPE(UsbDevice*)

namespace {

using Report = std::vector<uint8_t>;

// A joystick report carrying a sequence number where no field lives.
Report joystick(uint32_t sequence, size_t size = 64)
{
    Report r(size, 0);
    if (size > 0)
        r[0] = 0x01;
    if (size >= 12)
        std::memcpy(&r[8], &sequence, 4);
    return r;
}

// A command report numbered where no field lives, and its number.
Report command(uint32_t sequence)
{
    Report r(64, 0);
    r[0] = 0x64;
    std::memcpy(&r[8], &sequence, 4);
    return r;
}

uint32_t sequenceOf(const Report& r)
{
    uint32_t sequence = 0;
    if (r.size() >= 12)
        std::memcpy(&sequence, &r[8], 4);
    return sequence;
}

struct Delivery
{
    uint32_t sequence;
    uint64_t readTime;
};

} // namespace

class TestReader : public QObject
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
        connect(manager.get(), &UsbManager::onDeviceConnected, this, &TestReader::track);
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

    void onlyFullReportsInOrder()
    {
        VhidEndpoint* ep = plug("wheel");
        QVERIFY(ep);
        QVERIFY(startAndWaitFor(1));
        const QString path = ep->sockPath().c_str();

        // Odd sizes in between are never delivered; nothing after them is lost.
        QVERIFY(send(ep, joystick(1)));
        QVERIFY(send(ep, joystick(100, 63)));
        QVERIFY(send(ep, joystick(101, 0)));
        QVERIFY(send(ep, joystick(102, 65)));
        QVERIFY(send(ep, joystick(2)));
        for (uint32_t s = 3; s < 400; ++s) {
            QVERIFY(send(ep, joystick(s)));
            if (s % 25 == 0)
                QVERIFY(waitUntil([&] { return delivered[path].size() >= s; }, 2000));
        }
        QVERIFY(waitUntil([&] { return delivered[path].size() >= 399; }, 3000));
        QTest::qWait(50);
        const auto& got = delivered[path];
        QCOMPARE(got.size(), size_t(399));
        for (size_t i = 0; i < got.size(); ++i) {
            QCOMPARE(got[i].sequence, uint32_t(i + 1));
            if (i > 0)
                QVERIFY(got[i].readTime >= got[i - 1].readTime);
        }
        // Microseconds since 1970: later than 2020, earlier than 2100.
        QVERIFY(got[0].readTime > 1577836800ull * 1000000ull);
        QVERIFY(got[0].readTime < 4102444800ull * 1000000ull);
    }

    void devicesDoNotHoldEachOtherUp()
    {
        VhidEndpoint* quiet = plug("a-quiet");
        VhidEndpoint* busy = plug("b-busy");
        VhidEndpoint* other = plug("c-other");
        QVERIFY(quiet && busy && other);
        QVERIFY(startAndWaitFor(3));
        // The silent device sorts first; the others must not wait for it.
        for (uint32_t s = 1; s <= 50; ++s) {
            QVERIFY(send(busy, joystick(s)));
            QVERIFY(send(other, joystick(s + 1000)));
        }
        const QString busyPath = busy->sockPath().c_str();
        const QString otherPath = other->sockPath().c_str();
        QVERIFY(waitUntil(
            [&] { return delivered[busyPath].size() == 50 && delivered[otherPath].size() == 50; },
            2000));
        for (uint32_t i = 0; i < 50; ++i) {
            QCOMPARE(delivered[busyPath][i].sequence, i + 1);
            QCOMPARE(delivered[otherPath][i].sequence, i + 1001);
        }
        QVERIFY(delivered[quiet->sockPath().c_str()].empty());
    }

    void pausedReaderReadsNothing()
    {
        VhidEndpoint* ep = plug("wheel");
        QVERIFY(ep);
        QVERIFY(startAndWaitFor(1));
        const QString path = ep->sockPath().c_str();
        manager->pause();
        QTest::qWait(UsbManager::ReadWaitMs + 150); // the pass under way ends
        QVERIFY(send(ep, joystick(1)));
        QTest::qWait(300);
        QVERIFY(delivered[path].empty());

        // Nor is a departure noticed while paused.
        ep->unplug();
        QTest::qWait(300);
        QCOMPARE(disconnected->count(), 0);
        QCOMPARE(manager->getDevices().size(), 1);

        manager->resume();
        QVERIFY(waitUntil([&] { return disconnected->count() == 1; }, 2000));
        QCOMPARE(delivered[path].size(), size_t(1));
    }

    void unplugAndReplug()
    {
        VhidEndpoint* ep = plug("wheel");
        QVERIFY(ep);
        QVERIFY(startAndWaitFor(1));
        UsbDevice* const firstObject = connected->at(0).at(0).value<UsbDevice*>();
        QPointer<UsbDevice> first = firstObject;
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
        QVERIFY(first.isNull()); // deleted right after its announcement
        QVERIFY(manager->getDevices().isEmpty());

        QVERIFY(ep->plug());
        QVERIFY(waitUntil([&] { return connected->count() == 2; }, 3000));
        QPointer<UsbDevice> second = connected->at(1).at(0).value<UsbDevice*>();
        QVERIFY(!second.isNull());
        QCOMPARE(manager->getDevices(), QList<UsbDevice*>{second.data()});
        QTest::qWait(200);
        QCOMPARE(disconnected->count(), 1);
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

    // Both ready at once: the smaller path is delivered first.
    void smallerPathFirst()
    {
        VhidEndpoint* first = plug("a-wheel");
        VhidEndpoint* second = plug("b-wheel");
        QVERIFY(first && second);
        QVERIFY(startAndWaitFor(2));
        manager->pause();
        QTest::qWait(UsbManager::ReadWaitMs + 150); // the pass under way ends
        QVERIFY(send(second, joystick(2)));
        QVERIFY(send(first, joystick(1)));
        manager->resume();
        QVERIFY(waitUntil([&] { return order.size() == 2; }, 2000));
        QCOMPARE(order, (QStringList{first->sockPath().c_str(), second->sockPath().c_str()}));
    }

    // A device that stops taking reports holds up only its own write thread:
    // once its queue is full each write fails at once, what was taken goes
    // out in order when the device reads again, and closing it while its
    // write is stuck writes nothing more.
    void hungDeviceNeverHoldsUpTheWriter()
    {
        // Shared with the endpoint's thread, which may outlive this function.
        struct Received
        {
            std::mutex mutex;
            std::vector<uint32_t> sequences;
        };
        const auto got = std::make_shared<Received>();
        VhidEndpoint* ep = plug("wheel", 0xA355, "ORV Wheel Base", [got](const Report& r) {
            std::lock_guard<std::mutex> guard(got->mutex);
            got->sequences.push_back(sequenceOf(r));
        });
        QVERIFY(ep);
        QVERIFY(startAndWaitFor(1));
        auto receivedCount = [got] {
            std::lock_guard<std::mutex> guard(got->mutex);
            return got->sequences.size();
        };
        hid_device* device = manager->getDevices().at(0)->device;

        uint32_t next = 0;
        // Writes until they have failed for a while: the write thread is stuck.
        auto fill = [&] {
            const uint32_t from = next;
            for (int failedInARow = 0; failedInARow < 10 && next - from < 100000;) {
                if (hid_write(device, command(next).data(), 64) == 64) {
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
        QVERIFY(waitUntil([&] { return receivedCount() == taken; }, 5000));
        QVERIFY(hid_write(device, command(next++).data(), 64) == 64);
        QVERIFY(waitUntil([&] { return receivedCount() == taken + 1; }, 2000));

        ep->setReading(false);
        const uint32_t takenAgain = fill();
        manager->stop(); // closes the device while its write is stuck
        QCOMPARE(disconnected->count(), 1);
        ep->setReading(true);
        // Only what the device's buffer held arrives: the write under way and
        // the queue behind it were dropped with the device.
        const size_t expected = taken + 1 + takenAgain - HID_WRITE_QUEUE_LENGTH - 1;
        QVERIFY(waitUntil([&] { return receivedCount() >= expected; }, 5000));
        QTest::qWait(100);
        std::lock_guard<std::mutex> guard(got->mutex);
        QCOMPARE(got->sequences.size(), expected);
        for (size_t i = 0; i < expected; ++i)
            QCOMPARE(got->sequences[i], uint32_t(i));
    }

    void stopDropsQueuedReports()
    {
        VhidEndpoint* ep = plug("wheel");
        QVERIFY(ep);
        QVERIFY(startAndWaitFor(1));
        const QString path = ep->sockPath().c_str();
        for (uint32_t s = 1; s <= 100; ++s)
            send(ep, joystick(s));
        // Let the reader queue reports without the main thread handling them.
        QTest::qSleep(200);
        manager->stop();
        QCOMPARE(disconnected->count(), 1);
        const size_t before = delivered[path].size();
        QCoreApplication::processEvents();
        QTest::qWait(50);
        QCOMPARE(delivered[path].size(), before);
    }

private:
    VhidEndpoint* plug(const std::string& stem, uint16_t productId = 0xA355,
                       const std::string& product = "ORV Wheel Base",
                       VhidEndpoint::Receiver receiver = nullptr)
    {
        endpoints.push_back(std::make_unique<VhidEndpoint>(bus.stdPath(), stem,
                                                           testDeviceInfo(productId, product)));
        endpoints.back()->setReceiver(std::move(receiver));
        return endpoints.back()->plug() ? endpoints.back().get() : nullptr;
    }
    // Starts the manager and waits for count devices, recording deliveries.
    bool startAndWaitFor(int count)
    {
        manager->start(false);
        return waitUntil([&] { return connected->count() >= count; }, 3000) &&
               waitUntil(
                   [&] {
                       for (auto& ep : endpoints)
                           if (ep->isPlugged() && ep->connectionCount() != 1)
                               return false;
                       return true;
                   },
                   2000);
    }

    void track(UsbDevice* device)
    {
        auto* wheel = qobject_cast<UsbDeviceOrvWheelBase*>(device);
        if (!wheel)
            return;
        const QString path = device->getPath();
        connect(wheel, &UsbDeviceOrvWheelBase::onJoystickUpdate, this,
                [this, path](UsbDevice*, OrvUsbWheelBaseJoystickUpdate* update, uint64_t readTime) {
                    uint32_t sequence = 0;
                    std::memcpy(&sequence, reinterpret_cast<const uint8_t*>(update) + 7, 4);
                    delivered[path].push_back({sequence, readTime});
                    order << path;
                });
    }

    static bool send(VhidEndpoint* ep, const Report& r)
    {
        return ep->send(r.data(), r.size()) == 1;
    }

    TestBus bus;
    std::vector<std::unique_ptr<VhidEndpoint>> endpoints;
    std::unique_ptr<UsbManager> manager;
    std::unique_ptr<QSignalSpy> connected;
    std::unique_ptr<QSignalSpy> disconnected;
    std::map<QString, std::vector<Delivery>> delivered; // by path
    QStringList order;                                  // paths, in delivery order
};

QTEST_GUILESS_MAIN(TestReader)
#include "tst_reader.moc"
