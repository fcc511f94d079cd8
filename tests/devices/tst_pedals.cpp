// The pedals' protocol: command bytes, the read chain through the
// calibration, the live update that later edits do not postpone, and the
// calibration commands with their own resend interval.

#include "devices/UsbDeviceOrvPedals.h"
#include "sim/SimPedals.h"
#include "support/FakeDevice.h"
#include "support/TestBus.h"

#include <QSignalSpy>
#include <QTest>

#include <cstring>
#include <memory>

namespace {

using Report = FakeDevice::Report;

Report command(uint8_t code, uint8_t version = 4)
{
    return FakeDevice::command(code, version);
}

Report response(uint8_t code, int index = -1, uint8_t version = 4)
{
    return FakeDevice::response(code, version, index);
}

OrvUsbPedalsProfileV2 profile(int index, uint16_t maxForce)
{
    OrvUsbPedalsProfileV2 p{};
    p.index = uint8_t(index);
    std::snprintf(p.name, sizeof p.name, "Pedals %d", index);
    p.brakeMaxForce = maxForce;
    for (int i = 0; i < 6; ++i)
        p.throttleCurve[i] = uint8_t(i * 20);
    return p;
}

template <typename Record> Report withRecord(Report r, const Record& record)
{
    std::memcpy(&r[3], &record, sizeof record);
    return r;
}

PedalsCalibration calibrationRecord()
{
    PedalsCalibration c{};
    c.clutchMax = 9000000;
    c.brakeMax = 9100000;
    c.throttleMax = 9200000;
    c.clutchNeutral = 8388608;
    c.brakeNeutral = 8388609;
    c.throttleNeutral = 8388610;
    c.clutchChannel = 0;
    c.brakeChannel = 1;
    c.throttleChannel = 2;
    return c;
}

} // namespace

class TestPedals : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void commandBytes_data();
    void commandBytes();
    void readChainGoesThroughTheCalibration();
    void versionCheck_data();
    void versionCheck();
    void saveChainEndsWithoutSignal();
    void liveUpdateIsNotPostponed();
    void calibrationCommands();
    void startCalibrationIsResentEverySecond();

private:
    void answer(Report r) { FakeDevice::deliver(pedals.get(), std::move(r)); }
    void loadTwo();

    TestBus bus;
    std::unique_ptr<FakeDevice> fake;
    std::unique_ptr<UsbDeviceOrvPedals> pedals;
};

void TestPedals::initTestCase()
{
    QVERIFY(bus.isValid());
    bus.useAsBackend();
    QCOMPARE(hid_init(), 0);
}

void TestPedals::init()
{
    fake = std::make_unique<FakeDevice>(bus.stdPath(), "pedals",
                                        orvsim::SimPedals::defaultInfo("PD1"));
    QVERIFY(fake->plug());
    hid_device* handle = fake->open();
    QVERIFY(handle);
    pedals = std::make_unique<UsbDeviceOrvPedals>(fake->path(), handle);
}

void TestPedals::cleanup()
{
    pedals.reset();
    fake.reset();
}

void TestPedals::loadTwo()
{
    pedals->loadSettings();
    Report read = response(3);
    read[10] = 2;
    read[11] = 1;
    answer(read);
    answer(withRecord(response(10), calibrationRecord()));
    answer(withRecord(response(5), profile(0, 1000)));
    answer(withRecord(response(5), profile(1, 2000)));
    QVERIFY(fake->waitFor(5));
    fake->clear();
}

void TestPedals::commandBytes_data()
{
    QTest::addColumn<int>("operation");
    QTest::addColumn<Report>("expected");
    QTest::addColumn<bool>("resent");

    QTest::newRow("enter bootloader, answered") << 0 << command(1, 0) << true;
    QTest::newRow("read begin") << 1 << command(3) << true;
    Report save = command(4);
    save[10] = 2;
    save[11] = 1;
    QTest::newRow("save begin") << 2 << save << true;
    Report reset = command(8);
    reset[5] = 1;
    QTest::newRow("factory defaults") << 3 << reset << false;
    QTest::newRow("read calibration") << 4 << command(10) << true;
    QTest::newRow("stop calibration") << 5 << command(15) << false;
}

void TestPedals::commandBytes()
{
    QFETCH(int, operation);
    QFETCH(Report, expected);
    QFETCH(bool, resent);
    loadTwo();
    switch (operation) {
    case 0:
        pedals->enterBootloader();
        break;
    case 1:
        pedals->loadSettings();
        break;
    case 2:
        pedals->saveSettings();
        break;
    case 3:
        pedals->resetToFactoryDefaults();
        break;
    case 4:
        pedals->loadCalibration();
        break;
    case 5:
        pedals->stopCalibration();
        break;
    }
    QVERIFY(fake->waitFor(1));
    QCOMPARE(fake->at(0), expected);
    QTest::qWait(UsbDevice::RetryIntervalMs + 200);
    QCOMPARE(fake->count(), resent ? size_t(2) : size_t(1));
}

void TestPedals::readChainGoesThroughTheCalibration()
{
    QSignalSpy loaded(pedals.get(), &UsbDeviceOrvPedals::onSettingsLoaded);
    pedals->loadSettings();
    Report read = response(3);
    read[4] = 2; // hardware major
    read[10] = 2;
    read[11] = 1;
    answer(read);
    QVERIFY(fake->waitFor(2));
    QCOMPARE(fake->at(1), command(10)); // the calibration before any profile
    answer(withRecord(response(10), calibrationRecord()));
    QVERIFY(fake->waitFor(3));
    Report first = command(5);
    QCOMPARE(fake->at(2), first);
    answer(withRecord(response(5), profile(0, 1000)));
    QCOMPARE(loaded.count(), 0);
    answer(withRecord(response(5), profile(1, 2000)));
    QCOMPARE(loaded.count(), 1);
    QVERIFY(fake->waitFor(5));
    Report end = command(3);
    end[10] = 0xFF;
    QCOMPARE(fake->at(4), end);
    QCOMPARE(uint32_t(pedals->calibration.brakeMax), 9100000u);
    QCOMPARE(int(pedals->calibration.throttleChannel), 2);
    QCOMPARE(int(pedals->profiles[1].brakeMaxForce), 2000);
    QCOMPARE(int(pedals->deviceInfo.hardwareMajor), 2);
    QCOMPARE(int(pedals->currentProfileIndex), 1);
}

void TestPedals::versionCheck_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<QString>("message");
    QTest::newRow("3") << 3 << "Device has an older firmware. Please update the firmware.";
    QTest::newRow("5") << 5 << "Device had a newer firmware. Please update this config tool.";
}

void TestPedals::versionCheck()
{
    QFETCH(int, version);
    QFETCH(QString, message);
    loadTwo();
    QSignalSpy failed(pedals.get(), &UsbDeviceOrvPedals::onSettingsLoadFailed);
    pedals->loadSettings();
    Report read = response(3, -1, uint8_t(version));
    read[10] = 7;
    answer(read);
    QCOMPARE(failed.count(), 1);
    QCOMPARE(failed.at(0).at(1).toString(), message);
    QCOMPARE(int(pedals->profileCount), 2); // nothing stored
    QTest::qWait(UsbDevice::RetryIntervalMs + 200);
    QCOMPARE(fake->count(), size_t(1));
}

void TestPedals::saveChainEndsWithoutSignal()
{
    loadTwo();
    QSignalSpy loaded(pedals.get(), &UsbDeviceOrvPedals::onSettingsLoaded);
    pedals->saveSettings();
    answer(response(4));
    answer(response(6, 0));
    answer(response(6, 1));
    QVERIFY(fake->waitFor(4));
    QCOMPARE(fake->at(1), withRecord(command(6), pedals->profiles[0]));
    QCOMPARE(fake->at(2), withRecord(command(6), pedals->profiles[1]));
    Report end = command(4);
    end[10] = 0xFF;
    QCOMPARE(fake->at(3), end);
    Report echo = response(4);
    echo[10] = 0xFF;
    answer(echo);
    QTest::qWait(100);
    QCOMPARE(fake->count(), size_t(4));
    QCOMPARE(loaded.count(), 0);
}

void TestPedals::liveUpdateIsNotPostponed()
{
    loadTwo();
    pedals->settingsLoaded = true;
    // Edits at 0, 100 and 200 ms: one update at about 250 ms.
    for (int edit = 0; edit < 3; ++edit) {
        pedals->profiles[1].brakeMaxForce = uint16_t(3000 + edit);
        pedals->updateSettings();
        QTest::qWait(100);
    }
    QVERIFY(fake->waitFor(1, 1000));
    const qint64 first = fake->timeAt(0);
    QVERIFY2(first >= 200 && first < 300 + 150, qPrintable(QString::number(first)));
    Report begin = command(12);
    begin[10] = 2;
    begin[11] = 1;
    QCOMPARE(fake->at(0), begin);
    answer(response(12));
    answer(response(13, 0));
    answer(response(13, 1));
    QVERIFY(fake->waitFor(4));
    QCOMPARE(fake->at(2), withRecord(command(13), pedals->profiles[1]));
    Report end = command(12);
    end[10] = 0xFF;
    QCOMPARE(fake->at(3), end);

    // A later edit makes a second update of its own.
    pedals->updateSettings();
    QVERIFY(fake->waitFor(5, 1000));
    QCOMPARE(fake->at(4), begin);
}

void TestPedals::calibrationCommands()
{
    loadTwo();
    QSignalSpy started(pedals.get(), &UsbDeviceOrvPedals::onCalibrationStarted);
    QSignalSpy saved(pedals.get(), &UsbDeviceOrvPedals::onCalibrationSave);
    pedals->startCalibration();
    answer(response(14));
    QCOMPARE(started.count(), 1);

    pedals->calibrationState.working = calibrationRecord();
    pedals->calibrationState.working.brakeMax = 12345678;
    pedals->saveCalibration();
    // Taken over at once, before the device confirms.
    QCOMPARE(uint32_t(pedals->calibration.brakeMax), 12345678u);
    QVERIFY(fake->waitFor(2));
    QCOMPARE(fake->at(1), withRecord(command(11), pedals->calibrationState.working));
    answer(response(11));
    QCOMPARE(saved.count(), 1);
}

void TestPedals::startCalibrationIsResentEverySecond()
{
    loadTwo();
    pedals->startCalibration();
    QVERIFY(fake->waitFor(1));
    QTest::qWait(800);
    QCOMPARE(fake->count(), size_t(1)); // not yet: 1000 ms while starting
    QVERIFY(fake->waitFor(2, 1000));
    QCOMPARE(fake->at(1), command(14));
    const qint64 gap = fake->timeAt(1) - fake->timeAt(0);
    QVERIFY2(gap >= 900 && gap < 1600, qPrintable(QString::number(gap)));

    // Confirmed: back to 600 ms for what follows.
    answer(response(14));
    pedals->loadCalibration();
    QVERIFY(fake->waitFor(4, 1500));
    const qint64 retry = fake->timeAt(3) - fake->timeAt(2);
    QVERIFY2(retry >= 550 && retry < 950, qPrintable(QString::number(retry)));
}

QTEST_GUILESS_MAIN(TestPedals)
#include "tst_pedals.moc"
