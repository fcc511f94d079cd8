// The tool's device layer end to end: the real manager, reader thread and
// device classes against the simulated firmware on a private bus, byte for
// byte. The firmware update takes the same path in orvctl's tests.

#include "devices/UsbDeviceOrvPedals.h"
#include "devices/UsbDeviceOrvWheelBase.h"
#include "sim/Simulator.h"
#include "support/TestBus.h"
#include "usb/UsbManager.h"

#include <QSignalSpy>
#include <QTest>

namespace {

QByteArray bytes(const void* data, int size)
{
    return QByteArray(static_cast<const char*>(data), size);
}

} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(bus.isValid());
        bus.useAsBackend();
    }

    void settingsRoundTrip()
    {
        orvsim::Simulator simulator(bus.stdPath());
        auto* simWheel = simulator.addWheelBase("wheel", 100);
        auto* simPedals = simulator.addPedals("pedals", 100);
        QVERIFY(simWheel && simPedals);
        simWheel->setDefaultProfileCount(5);
        UsbManager manager;
        UsbDeviceOrvWheelBase* wheel = nullptr;
        UsbDeviceOrvPedals* pedals = nullptr;
        connect(&manager, &UsbManager::onDeviceConnected, this, [&](UsbDevice* device) {
            wheel = wheel ? wheel : qobject_cast<UsbDeviceOrvWheelBase*>(device);
            pedals = pedals ? pedals : qobject_cast<UsbDeviceOrvPedals*>(device);
        });
        manager.start(false);
        QVERIFY(waitUntil([&] { return wheel && pedals; }, 4000));
        QSignalSpy wheelLoaded(wheel, &UsbDeviceOrvWheelBase::onSettingsLoaded);
        QSignalSpy pedalsLoaded(pedals, &UsbDeviceOrvPedals::onSettingsLoaded);
        wheel->loadSettings();
        pedals->loadSettings();
        QVERIFY(waitUntil([&] { return wheelLoaded.count() && pedalsLoaded.count(); }, 3000));
        wheel->settingsLoaded = true;

        const orvsim::SimProfileList onDevice = simWheel->profiles();
        QCOMPARE(int(wheel->profileCount), 5);
        QCOMPARE(int(wheel->currentProfileIndex), int(onDevice.currentIndex));
        for (int i = 0; i < 5; ++i)
            QCOMPARE(bytes(&wheel->profiles[i], 54), bytes(onDevice.records[size_t(i)].data(), 54));
        QCOMPARE(bytes(&pedals->calibration, 27),
                 bytes(simPedals->calibration().bytes().data(), 27));

        // An edit reaches the device's live profile, and is stored on Save.
        constexpr size_t DampingByte = 35;
        wheel->profiles[3].damping = 64;
        wheel->updateSettings();
        QVERIFY(
            waitUntil([&] { return simWheel->profiles().records[3][DampingByte] == 64; }, 2000));
        QVERIFY(simWheel->storedProfiles().records[3][DampingByte] != 64);
        wheel->saveSettings();
        QVERIFY(waitUntil([&] { return simWheel->storedProfiles().records[3][DampingByte] == 64; },
                          2000));
    }

private:
    TestBus bus;
};

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
