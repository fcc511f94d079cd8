// What only the wheel base does: its one-shot commands, centring, telemetry,
// and random reports. Its profile list is tested with the pedals' in
// tst_profilelists. The test plays the device: it reads what the tool wrote
// on the bus and hands answers to the device object as the manager would.

#include "devices/UsbDeviceOrvWheelBase.h"
#include "sim/SimWheelBase.h"
#include "support/FakeDevice.h"
#include "support/TestBus.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

#include <cstring>
#include <memory>

namespace {

using Report = FakeDevice::Report;

Report command(uint8_t code, uint8_t version = 6)
{
    return FakeDevice::command(code, version);
}

// Tells whether a command is being resent.
class ProbeWheelBase : public UsbDeviceOrvWheelBase
{
public:
    using UsbDeviceOrvWheelBase::UsbDeviceOrvWheelBase;
    bool retrying() const { return retryTimer.isActive(); }
};

OrvUsbWheelBaseProfileV5 profile(int index, const char* name, int maxForce)
{
    OrvUsbWheelBaseProfileV5 p{};
    p.index = uint8_t(index);
    std::strncpy(p.name, name, sizeof p.name);
    p.rotationDegrees = 900 + index;
    p.maxForce = maxForce;
    p.damping = int8_t(10 + index);
    p.softEndStopDegrees = 1080;
    return p;
}

Report withRecord(Report r, const OrvUsbWheelBaseProfileV5& p)
{
    std::memcpy(&r[3], &p, sizeof p);
    return r;
}

} // namespace

class TestWheelBase : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void commandBytes_data();
    void commandBytes();
    void centring_data();
    void centring();
    void telemetrySignalsPointIntoTheReport();
    void randomReportsAreSafe();

private:
    void answer(Report r) { FakeDevice::deliver(wheel.get(), std::move(r)); }
    static Report response(uint8_t code, int index = -1)
    {
        return FakeDevice::response(code, 6, index);
    }
    // Loads three profiles the way the device would answer them.
    void loadThree();

    TestBus bus;
    std::unique_ptr<FakeDevice> fake;
    std::unique_ptr<ProbeWheelBase> wheel;
};

void TestWheelBase::initTestCase()
{
    QVERIFY(bus.isValid());
    bus.useAsBackend();
    QCOMPARE(hid_init(), 0);
}

void TestWheelBase::init()
{
    fake = std::make_unique<FakeDevice>(bus.stdPath(), "wheel",
                                        orvsim::SimWheelBase::defaultInfo("WB1"));
    QVERIFY(fake->plug());
    hid_device* handle = fake->open();
    QVERIFY(handle);
    wheel = std::make_unique<ProbeWheelBase>(fake->path(), handle);
}

void TestWheelBase::cleanup()
{
    wheel.reset();
    fake.reset();
}

void TestWheelBase::loadThree()
{
    wheel->loadSettings();
    Report read = response(3);
    read[42] = 3;
    read[43] = 1;
    answer(read);
    for (int i = 0; i < 3; ++i)
        answer(withRecord(response(5), profile(i, "P", 40 + i)));
    QVERIFY(fake->waitFor(5));
    fake->clear();
}

void TestWheelBase::commandBytes_data()
{
    QTest::addColumn<int>("operation");
    QTest::addColumn<Report>("expected");
    QTest::addColumn<bool>("resent");

    QTest::newRow("enter bootloader") << 0 << command(1, 0) << false;
    Report reset = command(8);
    reset[5] = 1;
    QTest::newRow("factory defaults") << 3 << reset << false;
    QTest::newRow("centre rim") << 4 << withRecord(command(7), profile(1, "P", 41)) << true;
    Report force = command(9);
    const float half = 0.5f;
    std::memcpy(&force[4], &half, 4);
    QTest::newRow("test force 0.5") << 5 << force << false;
    Report on = command(9);
    on[3] = 1;
    QTest::newRow("brake resistor on") << 6 << on << false;
    Report off = command(9);
    off[3] = 2;
    QTest::newRow("brake resistor off") << 7 << off << false;
}

void TestWheelBase::commandBytes()
{
    QFETCH(int, operation);
    QFETCH(Report, expected);
    QFETCH(bool, resent);
    loadThree();
    switch (operation) {
    case 0:
        wheel->enterBootloader();
        break;
    case 3:
        wheel->resetToFactoryDefaults();
        break;
    case 4:
        wheel->centerRim();
        break;
    case 5:
        wheel->sendTestForceCommand(0.5f);
        break;
    case 6:
        wheel->sendTestBrakeResistorCommand(true);
        break;
    case 7:
        wheel->sendTestBrakeResistorCommand(false);
        break;
    }
    QVERIFY(fake->waitFor(1));
    QCOMPARE(fake->at(0), expected);
    // Only commands that expect an answer come again when none arrives.
    QCOMPARE(wheel->retrying(), resent);
}

void TestWheelBase::centring_data()
{
    QTest::addColumn<int>("version");
    QTest::newRow("record answer") << 6;
    QTest::newRow("old firmware: count and index") << 1;
}

void TestWheelBase::centring()
{
    QFETCH(int, version);
    loadThree();
    QSignalSpy loaded(wheel.get(), &UsbDeviceOrvWheelBase::onSettingsLoaded);
    wheel->centerRim();
    Report reply = response(7);
    reply[2] = uint8_t(version);
    auto centred = profile(1, "P", 41);
    centred.centerOffset = 0.25f;
    reply = withRecord(reply, centred);
    if (version < 2) {
        reply[42] = 2;
        reply[43] = 0;
    }
    answer(reply);
    QCOMPARE(loaded.count(), 1);
    if (version >= 2) {
        QCOMPARE(float(wheel->profiles[1].centerOffset), 0.25f);
        QCOMPARE(int(wheel->profileCount), 3);
    } else {
        QCOMPARE(float(wheel->profiles[1].centerOffset), 0.0f);
        QCOMPARE(int(wheel->profileCount), 2);
        QCOMPARE(int(wheel->currentProfileIndex), 0);
    }
}

void TestWheelBase::telemetrySignalsPointIntoTheReport()
{
    QSignalSpy debug(wheel.get(), &UsbDeviceOrvWheelBase::onDebugOutput);
    QSignalSpy test(wheel.get(), &UsbDeviceOrvWheelBase::onTestCommand);
    QSignalSpy joystick(wheel.get(), &UsbDeviceOrvWheelBase::onJoystickUpdate);
    uint32_t ticks = 0;
    int16_t axis = 0;
    connect(wheel.get(), &UsbDeviceOrvWheelBase::onDebugOutput, this,
            [&](UsbDevice*, OrvUsbWheelBaseDebugOutput* out, uint64_t) { ticks = out->ticks; });
    connect(
        wheel.get(), &UsbDeviceOrvWheelBase::onJoystickUpdate, this,
        [&](UsbDevice*, OrvUsbWheelBaseJoystickUpdate* u, uint64_t) { axis = u->steeringAxis; });
    Report r = response(2);
    r[4] = 0x78; // ticks at debug record byte 1, report byte 4
    r[5] = 0x56;
    answer(r);
    answer(response(9));
    Report j(64, 0);
    j[0] = 0x01;
    j[1] = 0x00;
    j[2] = 0x80; // -32768
    answer(j);
    QCOMPARE(debug.count(), 1);
    QCOMPARE(ticks, 0x5678u);
    QCOMPARE(test.count(), 1);
    QCOMPARE(joystick.count(), 1);
    QCOMPARE(axis, int16_t(-32768));
}

void TestWheelBase::randomReportsAreSafe()
{
    loadThree();
    wheel->settingsLoaded = true;
    QRandomGenerator random(1234);
    const uint8_t ids[] = {0x01, 0x65, 0x65, 0x65, 0x64, 0x00};
    for (int n = 0; n < 5000; ++n) {
        Report r(64);
        for (auto& b : r)
            b = uint8_t(random.bounded(256));
        r[0] = ids[random.bounded(int(sizeof ids))];
        r[1] = uint8_t(random.bounded(-2, 16));
        answer(r);
    }
    for (const auto& p : wheel->profiles)
        QVERIFY(std::memchr(p.name, 0, sizeof p.name));
}

QTEST_GUILESS_MAIN(TestWheelBase)
#include "tst_wheelbase.moc"
