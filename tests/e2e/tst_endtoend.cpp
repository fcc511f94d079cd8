// The tool's device layer end to end: the real manager, reader thread and
// device class against the simulated firmware on a private bus, byte for
// byte. The pedals take the same path, and so does the firmware update in
// orvctl's tests.

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
        QVERIFY(simWheel);
        simWheel->setDefaultProfileCount(5);
        UsbManager manager;
        UsbDeviceOrvWheelBase* wheel = nullptr;
        connect(&manager, &UsbManager::onDeviceConnected, this, [&](UsbDevice* device) {
            wheel = wheel ? wheel : qobject_cast<UsbDeviceOrvWheelBase*>(device);
        });
        manager.start(false);
        QVERIFY(waitUntil([&] { return wheel != nullptr; }, 4000));
        QSignalSpy wheelLoaded(wheel, &UsbDeviceOrvWheelBase::onSettingsLoaded);
        wheel->loadSettings();
        QVERIFY(waitUntil([&] { return wheelLoaded.count() > 0; }, 3000));
        wheel->settingsLoaded = true;

        const orvsim::SimProfileList onDevice = simWheel->profiles();
        QCOMPARE(int(wheel->profileCount), 5);
        QCOMPARE(int(wheel->currentProfileIndex), int(onDevice.currentIndex));
        for (int i = 0; i < 5; ++i)
            QCOMPARE(bytes(&wheel->profiles[i], 54), bytes(onDevice.records[size_t(i)].data(), 54));

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
