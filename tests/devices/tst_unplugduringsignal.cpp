// A window slot that shows a dialog runs the event loop, and an unplug seen
// in that loop deletes the device object (the manager deletes it directly).
// Each row has the receiver of one signal do just that; whatever the device
// does after the signal must not touch the deleted object (an error under
// ASan).

#include "devices/UsbDeviceOrvBootloader.h"
#include "devices/UsbDeviceOrvPedals.h"
#include "devices/UsbDeviceOrvWheelBase.h"
#include "profiles/crc32Words.h"
#include "support/FakeDevice.h"
#include "support/TestBus.h"

#include <QEventLoop>
#include <QTest>

#include <functional>
#include <memory>

namespace {

using Report = FakeDevice::Report;

// The device under test and the receiver that unplugs it from a nested loop.
class Harness : public QObject
{
    Q_OBJECT

public:
    UsbDevice* device = nullptr;
    QByteArray signal;
    int dialogs = 0;

    template <typename Device> Device* as() { return static_cast<Device*>(device); }
    // From here on the row's signal opens the "dialog".
    void arm() { QVERIFY(connect(device, signal.constData(), this, SLOT(showDialog()))); }
    void answer(uint8_t code, int index = -1, uint8_t version = 0, int countAt = 0, int count = 1)
    {
        Report r = FakeDevice::response(code, version, index);
        if (countAt)
            r[size_t(countAt)] = uint8_t(count);
        if (device)
            FakeDevice::deliver(device, r);
    }
    void wheelLoad(int count)
    {
        as<UsbDeviceOrvWheelBase>()->loadSettings();
        answer(3, -1, 6, 42, count);
        for (int i = 0; i < count; ++i)
            answer(5, i, 6);
    }
    void pedalsLoad(int count)
    {
        as<UsbDeviceOrvPedals>()->loadSettings();
        answer(3, -1, 4, 10, count);
        answer(10, -1, 4);
        for (int i = 0; i < count; ++i)
            answer(5, i, 4);
    }
    // The echo of chunk index of a 64-byte image of zeros, intact or not.
    void echo(int index, bool intact = true)
    {
        Report r = FakeDevice::response(1, 0);
        r[34] = uint8_t(index);
        r[36] = 2;
        const quint32 crc = crc32Words(&r[2], 32) ^ (intact ? 0 : 1);
        std::memcpy(&r[38], &crc, 4);
        if (device)
            FakeDevice::deliver(device, r);
    }

public slots:
    void showDialog()
    {
        ++dialogs;
        QEventLoop loop;
        QMetaObject::invokeMethod(
            this,
            [this, &loop] {
                delete device;
                device = nullptr;
                loop.quit();
            },
            Qt::QueuedConnection);
        loop.exec();
    }
};

struct Case
{
    const char* name;
    int kind; // 0 wheel base, 1 pedals, 2 bootloader
    const char* signal;
    std::function<void(Harness&)> run;
};

using Wheel = UsbDeviceOrvWheelBase;
using Pedals = UsbDeviceOrvPedals;
using Boot = UsbDeviceOrvBootloader;

const Case Cases[] = {
    {"wheel base, list read", 0, SIGNAL(onSettingsLoaded(UsbDevice*)),
     [](Harness& h) {
         h.arm();
         h.wheelLoad(2);
     }},
    {"wheel base, other version", 0, SIGNAL(onSettingsLoadFailed(UsbDevice*, QString)),
     [](Harness& h) {
         h.arm();
         h.answer(3, -1, 5, 42, 2);
     }},
    {"wheel base, list refused", 0, SIGNAL(onSettingsLoadFailed(UsbDevice*, QString)),
     [](Harness& h) {
         h.arm();
         h.answer(3, -1, 6, 42, 0);
     }},
    {"wheel base, centred", 0, SIGNAL(onSettingsLoaded(UsbDevice*)),
     [](Harness& h) {
         h.wheelLoad(1);
         h.arm();
         h.as<Wheel>()->centerRim();
         h.answer(7, 0, 6);
     }},
    {"wheel base, added", 0, SIGNAL(onSettingsLoaded(UsbDevice*)),
     [](Harness& h) {
         h.arm();
         h.as<Wheel>()->addProfile();
     }},
    {"wheel base, removed", 0, SIGNAL(onSettingsLoaded(UsbDevice*)),
     [](Harness& h) {
         h.wheelLoad(2);
         h.arm();
         h.as<Wheel>()->removeCurrentProfile();
     }},
    {"wheel base, saved", 0, SIGNAL(onSettingsSaved(UsbDevice*)),
     [](Harness& h) {
         h.wheelLoad(1);
         h.arm();
         h.as<Wheel>()->saveSettings();
         h.answer(4, -1, 6);
         h.answer(6, 0, 6);
     }},
    {"pedals, list read", 1, SIGNAL(onSettingsLoaded(UsbDevice*)),
     [](Harness& h) {
         h.arm();
         h.pedalsLoad(2);
     }},
    {"pedals, other version", 1, SIGNAL(onSettingsLoadFailed(UsbDevice*, QString)),
     [](Harness& h) {
         h.arm();
         h.answer(3, -1, 3, 10, 2);
     }},
    {"pedals, list refused", 1, SIGNAL(onSettingsLoadFailed(UsbDevice*, QString)),
     [](Harness& h) {
         h.arm();
         h.answer(3, -1, 4, 10, 41);
     }},
    {"pedals, added", 1, SIGNAL(onSettingsLoaded(UsbDevice*)),
     [](Harness& h) {
         h.arm();
         h.as<Pedals>()->addProfile();
     }},
    {"pedals, removed", 1, SIGNAL(onSettingsLoaded(UsbDevice*)),
     [](Harness& h) {
         h.pedalsLoad(2);
         h.arm();
         h.as<Pedals>()->removeCurrentProfile();
     }},
    {"pedals, calibration started", 1, SIGNAL(onCalibrationStarted()),
     [](Harness& h) {
         h.arm();
         h.as<Pedals>()->startCalibration();
         h.answer(14, -1, 4);
     }},
    {"pedals, calibration saved", 1, SIGNAL(onCalibrationSave()),
     [](Harness& h) {
         h.arm();
         h.as<Pedals>()->saveCalibration();
         h.answer(11, -1, 4);
     }},
    {"bootloader, information read", 2, SIGNAL(onSettingsLoaded(UsbDevice*)),
     [](Harness& h) {
         h.arm();
         h.answer(3, -1, 2);
     }},
    {"bootloader, update started", 2, SIGNAL(onFirmwareUpdateStarted(int)),
     [](Harness& h) {
         h.arm();
         h.as<Boot>()->updateFirmware(QByteArray(64, 0));
     }},
    {"bootloader, first progress", 2, SIGNAL(onFirmwareUpdateProgress(int, int)),
     [](Harness& h) {
         h.arm();
         h.as<Boot>()->updateFirmware(QByteArray(64, 0));
     }},
    {"bootloader, progress on an echo", 2, SIGNAL(onFirmwareUpdateProgress(int, int)),
     [](Harness& h) {
         h.as<Boot>()->updateFirmware(QByteArray(64, 0));
         h.arm();
         h.echo(0);
     }},
    {"bootloader, empty image completed", 2, SIGNAL(onUpdateCompleted(UsbDevice*)),
     [](Harness& h) {
         h.arm();
         h.as<Boot>()->updateFirmware(QByteArray());
     }},
    {"bootloader, completed", 2, SIGNAL(onUpdateCompleted(UsbDevice*)),
     [](Harness& h) {
         h.as<Boot>()->updateFirmware(QByteArray(64, 0));
         h.arm();
         h.echo(0);
         h.echo(1);
     }},
    {"bootloader, damaged echo", 2, SIGNAL(onUpdateFailed(UsbDevice*, QString)),
     [](Harness& h) {
         h.as<Boot>()->updateFirmware(QByteArray(64, 0));
         h.arm();
         h.echo(0, false);
     }},
    {"bootloader, image too large", 2, SIGNAL(onUpdateFailed(UsbDevice*, QString)),
     [](Harness& h) {
         h.arm();
         h.as<Boot>()->updateFirmware(QByteArray(1 << 21, 0));
     }},
};

} // namespace

class TestUnplugDuringSignal : public QObject
{
    Q_OBJECT

    TestBus bus;

private slots:
    void initTestCase()
    {
        QVERIFY(bus.isValid());
        bus.useAsBackend();
        QCOMPARE(hid_init(), 0);
    }

    void deletedInTheReceiversLoop_data()
    {
        QTest::addColumn<int>("row");
        for (int row = 0; row < int(std::size(Cases)); ++row)
            QTest::newRow(Cases[row].name) << row;
    }
    void deletedInTheReceiversLoop()
    {
        QFETCH(int, row);
        const Case& c = Cases[row];
        FakeDevice fake(bus.stdPath(), "dev", testDeviceInfo(0xA355, "ORV"));
        QVERIFY(fake.plug());
        Harness h;
        h.signal = c.signal;
        const QString path = fake.path();
        if (c.kind == 0)
            h.device = new Wheel(path, fake.open());
        else if (c.kind == 1)
            h.device = new Pedals(path, fake.open());
        else
            h.device = new Boot(path, fake.open());
        c.run(h);
        QCOMPARE(h.dialogs, 1);
        QVERIFY(!h.device);
    }
};

QTEST_GUILESS_MAIN(TestUnplugDuringSignal)
#include "tst_unplugduringsignal.moc"
