// What only the pedals do: their one-shot commands and the calibration
// commands with their own resend interval. Their profile list is tested with
// the wheel base's in tst_profilelists.

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

// Tells whether a command is being resent.
class ProbePedals : public UsbDeviceOrvPedals
{
public:
    using UsbDeviceOrvPedals::UsbDeviceOrvPedals;
    bool retrying() const { return retryTimer.isActive(); }
};

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
    void calibrationCommands();
    void startCalibrationIsResentEverySecond();

private:
    void answer(Report r) { FakeDevice::deliver(pedals.get(), std::move(r)); }

    TestBus bus;
    std::unique_ptr<FakeDevice> fake;
    std::unique_ptr<ProbePedals> pedals;
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
    pedals = std::make_unique<ProbePedals>(fake->path(), handle);
}

void TestPedals::cleanup()
{
    pedals.reset();
    fake.reset();
}

// Rows are named after the slot that sends the command.
void TestPedals::commandBytes_data()
{
    QTest::addColumn<Report>("expected");
    QTest::addColumn<bool>("resent");
    QTest::newRow("enterBootloader") << command(1, 0) << true; // unlike the wheel base
    Report reset = command(8);
    reset[5] = 1;
    QTest::newRow("resetToFactoryDefaults") << reset << false;
    QTest::newRow("loadCalibration") << command(10) << true;
    QTest::newRow("stopCalibration") << command(15) << false;
}

void TestPedals::commandBytes()
{
    QFETCH(Report, expected);
    QFETCH(bool, resent);
    QVERIFY(QMetaObject::invokeMethod(pedals.get(), QTest::currentDataTag()));
    QVERIFY(fake->waitFor(1));
    QCOMPARE(fake->at(0), expected);
    QCOMPARE(pedals->retrying(), resent);
}

void TestPedals::calibrationCommands()
{
    pedals->loadCalibration();
    const PedalsCalibration read = calibrationRecord();
    answer(withRecord(response(10), read));
    QCOMPARE(std::memcmp(&pedals->calibration, &read, sizeof read), 0);
    QVERIFY(fake->waitFor(2)); // and the profiles next
    fake->clear();
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
