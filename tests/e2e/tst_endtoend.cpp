// The tool's device layer end to end: the real manager, reader thread and
// device classes against the simulated firmware on a private bus.

#include "devices/UsbDeviceOrvBootloader.h"
#include "devices/UsbDeviceOrvPedals.h"
#include "devices/UsbDeviceOrvWheelBase.h"
#include "sim/Simulator.h"
#include "support/TestBus.h"
#include "usb/UsbManager.h"

#include <QPointer>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

#include <cstring>
#include <memory>

using orvsim::SimFirmwareDevice;

Q_DECLARE_METATYPE(UsbDevice*)

namespace {

// Waits for a device of one kind announced after the first `from` entries
// of the spy (earlier ones may be deleted by now).
template <typename Device>
Device* waitForDevice(QSignalSpy& connected, int from = 0, int timeoutMs = 4000)
{
    Device* found = nullptr;
    waitUntil(
        [&] {
            for (int i = from; i < connected.count() && !found; ++i)
                found = qobject_cast<Device*>(connected.at(i).at(0).value<QObject*>());
            return found != nullptr;
        },
        timeoutMs);
    return found;
}

} // namespace

class TestEndToEnd : public QObject
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
        simulator = std::make_unique<orvsim::Simulator>(bus.stdPath());
        manager = std::make_unique<UsbManager>();
        connected = std::make_unique<QSignalSpy>(manager.get(), &UsbManager::onDeviceConnected);
    }

    void cleanup()
    {
        connected.reset();
        manager.reset();
        simulator.reset();
    }

    void wheelBaseSettingsRoundTrip()
    {
        auto* sim = simulator->addWheelBase("wheel", 200);
        QVERIFY(sim);
        sim->setDefaultProfileCount(5);
        UsbDeviceOrvWheelBase* wheel = loadedWheelBase();
        QVERIFY(wheel);

        const orvsim::SimProfileList onDevice = sim->profiles();
        QCOMPARE(int(wheel->profileCount), 5);
        QCOMPARE(int(wheel->currentProfileIndex), int(onDevice.currentIndex));
        for (int i = 0; i < 5; ++i)
            QCOMPARE(
                QByteArray(reinterpret_cast<const char*>(&wheel->profiles[i]), 54),
                QByteArray(reinterpret_cast<const char*>(onDevice.records[size_t(i)].data()), 54));

        // An edit reaches the device's live profile, and is stored on Save.
        constexpr size_t DampingByte = 35;
        wheel->profiles[3].damping = 64;
        wheel->updateSettings();
        QVERIFY(waitUntil([&] { return sim->profiles().records[3][DampingByte] == 64; }, 2000));
        QVERIFY(sim->storedProfiles().records[3][DampingByte] != 64);

        QSignalSpy saved(wheel, &UsbDeviceOrvWheelBase::onSettingsSaved);
        wheel->saveSettings();
        QVERIFY(saved.wait(2000));
        QVERIFY(
            waitUntil([&] { return sim->storedProfiles().records[3][DampingByte] == 64; }, 2000));

        // Centring takes the wheel's position as the new centre of the profile.
        sim->setWheelPosition(0.125);
        QSignalSpy reloaded(wheel, &UsbDeviceOrvWheelBase::onSettingsLoaded);
        wheel->centerRim();
        QVERIFY(reloaded.wait(2000));
        const auto& current = wheel->profiles[wheel->currentProfileIndex];
        QVERIFY(current.centerOffset != 0.0f);
        float onSim = 0;
        std::memcpy(&onSim, &sim->profiles().records[wheel->currentProfileIndex][17], 4);
        QCOMPARE(float(current.centerOffset), onSim);
    }

    void firmwareUpdateThroughTheBootloader()
    {
        auto* sim = simulator->addWheelBase("wheel", 100);
        QVERIFY(sim);
        sim->setFirmwareVersion(3, 4);
        UsbDeviceOrvWheelBase* wheel = loadedWheelBase();
        QVERIFY(wheel);
        QPointer<UsbDevice> application = wheel;

        QSignalSpy disconnected(manager.get(), &UsbManager::onDeviceDisconnected);
        const int before = connected->count();
        wheel->enterBootloader();
        auto* bootloader = waitForDevice<UsbDeviceOrvBootloader>(*connected, before, 5000);
        QVERIFY(bootloader);
        QVERIFY(bootloader->getProductName().contains("Bootloader"));
        QVERIFY(waitUntil([&] { return application.isNull(); }, 3000));
        QCOMPARE(disconnected.count(), 1);

        QByteArray image(100 * 1024, Qt::Uninitialized);
        QRandomGenerator random(7);
        for (char& c : image)
            c = char(random.bounded(256));
        QSignalSpy completed(bootloader, &UsbDeviceOrvBootloader::onUpdateCompleted);
        QSignalSpy failed(bootloader, &UsbDeviceOrvBootloader::onUpdateFailed);
        bootloader->updateFirmware(image);
        QVERIFY(completed.wait(30000));
        QCOMPARE(failed.count(), 0);

        // The application comes back, new object, new version, the image in.
        auto* updated = waitForDevice<UsbDeviceOrvWheelBase>(*connected, before + 1, 5000);
        QVERIFY(updated);
        const std::vector<uint8_t> installed = sim->installedImage();
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(installed.data()), int(installed.size())),
                 image);
        QSignalSpy loaded(updated, &UsbDeviceOrvWheelBase::onSettingsLoaded);
        updated->loadSettings();
        QVERIFY(loaded.wait(3000));
        QCOMPARE(int(updated->deviceInfo.firmwareMajor), 3);
        QCOMPARE(int(updated->deviceInfo.firmwareMinor), 5);
    }

    void pedalsLoadThroughTheCalibration()
    {
        auto* sim = simulator->addPedals("pedals", 100);
        QVERIFY(sim);
        manager->start(false);
        auto* pedals = waitForDevice<UsbDeviceOrvPedals>(*connected);
        QVERIFY(pedals);
        QSignalSpy loaded(pedals, &UsbDeviceOrvPedals::onSettingsLoaded);
        pedals->loadSettings();
        QVERIFY(loaded.wait(3000));
        QVERIFY(pedals->profileCount >= 1);
        const auto onDevice = sim->calibration().bytes();
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(&pedals->calibration), 27),
                 QByteArray(reinterpret_cast<const char*>(onDevice.data()), 27));

        QSignalSpy started(pedals, &UsbDeviceOrvPedals::onCalibrationStarted);
        pedals->startCalibration();
        QVERIFY(started.wait(3000));
        QVERIFY(sim->isCalibrating());
        pedals->stopCalibration();
        QVERIFY(waitUntil([&] { return !sim->isCalibrating(); }, 2000));
    }

private:
    UsbDeviceOrvWheelBase* loadedWheelBase()
    {
        manager->start(false);
        auto* wheel = waitForDevice<UsbDeviceOrvWheelBase>(*connected);
        if (!wheel)
            return nullptr;
        QSignalSpy loaded(wheel, &UsbDeviceOrvWheelBase::onSettingsLoaded);
        wheel->loadSettings();
        if (!loaded.wait(3000))
            return nullptr;
        wheel->settingsLoaded = true;
        return wheel;
    }

    TestBus bus;
    std::unique_ptr<orvsim::Simulator> simulator;
    std::unique_ptr<UsbManager> manager;
    std::unique_ptr<QSignalSpy> connected;
};

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
