// The wheel base's protocol: command bytes, the read, save and live-update
// chains, centring, version checks and what it does with odd answers. The
// test plays the device: it reads what the tool wrote on the bus and hands
// answers to the device object as the manager would.

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
    void readChain();
    void versionCheck_data();
    void versionCheck();
    void saveChain();
    void liveUpdateAfterTheLastEdit();
    void centring_data();
    void centring();
    void answersOutsideTheListAreIgnored_data();
    void answersOutsideTheListAreIgnored();
    void telemetrySignalsPointIntoTheReport();
    void randomReportsAreSafe();

private:
    void answer(Report r) { FakeDevice::deliver(wheel.get(), std::move(r)); }
    Report readAnswer(uint8_t version, uint8_t count, uint8_t current)
    {
        Report r(64, 0);
        r[0] = 0x65;
        r[1] = 3;
        r[2] = version;
        for (int i = 3; i <= 9; ++i)
            r[size_t(i)] = uint8_t(i * 11); // device information
        r[10] = 0xAB;                       // extended information
        r[42] = count;
        r[43] = current;
        return r;
    }
    static Report response(uint8_t code, int index = -1)
    {
        return FakeDevice::response(code, 6, index);
    }
    // Loads three profiles the way the device would answer them.
    void loadThree();

    TestBus bus;
    std::unique_ptr<FakeDevice> fake;
    std::unique_ptr<UsbDeviceOrvWheelBase> wheel;
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
    wheel = std::make_unique<UsbDeviceOrvWheelBase>(fake->path(), handle);
}

void TestWheelBase::cleanup()
{
    wheel.reset();
    fake.reset();
}

void TestWheelBase::loadThree()
{
    wheel->loadSettings();
    answer(readAnswer(6, 3, 1));
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
    Report read = command(3);
    QTest::newRow("read begin") << 1 << read << true;
    Report save = command(4);
    save[42] = 3;
    save[43] = 1;
    QTest::newRow("save begin") << 2 << save << true;
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
    case 1:
        wheel->loadSettings();
        break;
    case 2:
        wheel->saveSettings();
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
    QTest::qWait(UsbDevice::RetryIntervalMs + 200);
    QCOMPARE(fake->count(), resent ? size_t(2) : size_t(1));
}

void TestWheelBase::readChain()
{
    QSignalSpy loaded(wheel.get(), &UsbDeviceOrvWheelBase::onSettingsLoaded);
    wheel->loadSettings();
    answer(readAnswer(6, 3, 1));
    auto unterminated = profile(2, "", 42);
    std::memset(unterminated.name, 'x', sizeof unterminated.name);
    const OrvUsbWheelBaseProfileV5 records[] = {profile(0, "Road", 40), profile(1, "Drift", 41),
                                                unterminated};
    for (const auto& r : records) {
        QCOMPARE(loaded.count(), 0);
        answer(withRecord(response(5), r));
    }
    QCOMPARE(loaded.count(), 1);

    QVERIFY(fake->waitFor(5));
    QCOMPARE(fake->at(0), command(3));
    for (int i = 0; i < 3; ++i) {
        Report readProfile = command(5);
        readProfile[3] = uint8_t(i);
        QCOMPARE(fake->at(size_t(1 + i)), readProfile);
    }
    Report end = command(3);
    end[42] = 0xFF;
    QCOMPARE(fake->at(4), end);

    QCOMPARE(wheel->protocolVersion, 6u);
    QCOMPARE(int(wheel->profileCount), 3);
    QCOMPARE(int(wheel->currentProfileIndex), 1);
    QCOMPARE(int(wheel->deviceInfo.hardwareMajor), 44);
    QCOMPARE(int(wheel->deviceInfo.firmwareMinor), 77);
    QCOMPARE(int(wheel->extendedInfo[0]), 0xAB);
    QCOMPARE(QByteArray(wheel->profiles[1].name), QByteArray("Drift"));
    QCOMPARE(int(wheel->profiles[1].maxForce), 41);
    // An unterminated name is cut inside its 16 bytes.
    QCOMPARE(QByteArray(wheel->profiles[2].name), QByteArray(15, 'x'));
}

void TestWheelBase::versionCheck_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("storedCount");

    QTest::newRow("1: nothing kept")
        << 1 << "Device has an older firmware. Please update the firmware." << 0;
    QTest::newRow("5") << 5 << "Device has an older firmware. Please update the firmware." << 2;
    QTest::newRow("7") << 7 << "Device had a newer firmware. Please update this config tool." << 2;
}

void TestWheelBase::versionCheck()
{
    QFETCH(int, version);
    QFETCH(QString, message);
    QFETCH(int, storedCount);
    QSignalSpy failed(wheel.get(), &UsbDeviceOrvWheelBase::onSettingsLoadFailed);
    wheel->loadSettings();
    answer(readAnswer(uint8_t(version), 2, 0));
    QCOMPARE(failed.count(), 1);
    QCOMPARE(failed.at(0).at(1).toString(), message);
    QCOMPARE(int(wheel->profileCount), storedCount);
    QCOMPARE(int(wheel->deviceInfo.hardwareMajor), storedCount ? 44 : 0);
    QTest::qWait(UsbDevice::RetryIntervalMs + 200);
    QCOMPARE(fake->count(), size_t(1)); // the read begin only, answered
}

void TestWheelBase::saveChain()
{
    loadThree();
    QSignalSpy saved(wheel.get(), &UsbDeviceOrvWheelBase::onSettingsSaved);
    wheel->saveSettings();
    answer(response(4));
    for (int i = 0; i < 3; ++i)
        answer(response(6, i));
    QCOMPARE(saved.count(), 1);
    QVERIFY(fake->waitFor(5));
    for (int i = 0; i < 3; ++i)
        QCOMPARE(fake->at(size_t(1 + i)), withRecord(command(6), wheel->profiles[i]));
    Report end = command(4);
    end[42] = 0xFF;
    QCOMPARE(fake->at(4), end);
    // The device's echo of the end reports the save once more.
    Report echo = response(4);
    echo[42] = 0xFF;
    answer(echo);
    QCOMPARE(saved.count(), 2);
    QTest::qWait(100);
    QCOMPARE(fake->count(), size_t(5));
}

void TestWheelBase::liveUpdateAfterTheLastEdit()
{
    loadThree();
    // Nothing goes out until the window says the settings are shown.
    wheel->updateSettings();
    QTest::qWait(UsbDeviceOrvWheelBase::UpdateDelayMs + 100);
    QCOMPARE(fake->count(), size_t(0));
    wheel->settingsLoaded = true;
    for (int edit = 0; edit < 3; ++edit) {
        wheel->profiles[1].damping = int8_t(50 + edit);
        wheel->updateSettings();
        QTest::qWait(100);
    }
    // Restarted by every edit: nothing yet, 100 ms after the third.
    QCOMPARE(fake->count(), size_t(0));
    QVERIFY(fake->waitFor(1, 1000));
    const qint64 last = fake->timeAt(0);
    QVERIFY2(last >= 300 + 100 && last < 300 + 600, qPrintable(QString::number(last)));
    Report begin = command(12);
    begin[42] = 3;
    begin[43] = 1;
    QCOMPARE(fake->at(0), begin);

    answer(response(12));
    for (int i = 0; i < 3; ++i)
        answer(response(13, i));
    QVERIFY(fake->waitFor(5));
    QCOMPARE(fake->at(2), withRecord(command(13), wheel->profiles[1]));
    QCOMPARE(int(fake->at(2)[3 + 35]), 52); // damping of the last edit
    Report end = command(12);
    end[42] = 0xFF;
    QCOMPARE(fake->at(4), end);
    // The end's echo starts nothing.
    Report echo = response(12);
    echo[42] = 0xFF;
    answer(echo);
    QTest::qWait(400);
    QCOMPARE(fake->count(), size_t(5));
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

void TestWheelBase::answersOutsideTheListAreIgnored_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("recordIndex");

    QTest::newRow("no profiles") << 0 << 0 << 0;
    QTest::newRow("more than 100") << 101 << 0 << 0;
    QTest::newRow("255") << 255 << 0 << 0;
    QTest::newRow("current past the end") << 3 << 3 << 0;
    QTest::newRow("record index past the count") << 3 << 0 << 3;
    QTest::newRow("negative record index") << 3 << 0 << 0x80;
    QTest::newRow("record index past the array") << 3 << 0 << 120;
}

void TestWheelBase::answersOutsideTheListAreIgnored()
{
    QFETCH(int, count);
    QFETCH(int, current);
    QFETCH(int, recordIndex);
    QSignalSpy loaded(wheel.get(), &UsbDeviceOrvWheelBase::onSettingsLoaded);
    wheel->loadSettings();
    answer(readAnswer(6, uint8_t(count), uint8_t(current)));
    auto record = profile(0, "Bad", 1);
    record.index = uint8_t(recordIndex);
    answer(withRecord(response(5), record));
    for (int code : {6, 7, 13})
        answer(withRecord(response(uint8_t(code)), record));
    QCOMPARE(loaded.count(), 0);
    QVERIFY(int(wheel->profileCount) <= UsbDeviceOrvWheelBase::MaxProfiles);
    if (count == 0 || count > 100 || current >= count)
        QCOMPARE(int(wheel->profileCount), 0); // the whole answer was refused
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
    QVERIFY(int(wheel->profileCount) <= UsbDeviceOrvWheelBase::MaxProfiles);
    QVERIFY(wheel->currentProfileIndex < UsbDeviceOrvWheelBase::MaxProfiles);
    for (const auto& p : wheel->profiles)
        QVERIFY(std::memchr(p.name, 0, sizeof p.name));
}

QTEST_GUILESS_MAIN(TestWheelBase)
#include "tst_wheelbase.moc"
