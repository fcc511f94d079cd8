// The simulated pedals over the HID layer: their transfers (count at byte
// 10), the calibration record and mode, and joystick positions that follow
// from raw readings, the calibration and the current response curve.

#include "CommandChain.h"
#include "sim/SimProtocol.h"
#include "sim/Simulator.h"
#include "support/TestBus.h"

#include <QTest>

#include <memory>

using orvsim::SimPedals;
using orvsim::SimPedalsCalibration;

namespace {

constexpr uint8_t V = 4;
constexpr size_t K = 10;

Report record(uint8_t code, uint8_t i)
{
    Report r = command(code, V, {{3, i}, {4, 'P'}});
    for (size_t p = 0; p < 18; ++p)
        r[3 + 29 + p] = uint8_t(20 * (p % 6)); // linear curves
    return r;
}

struct Positions
{
    uint16_t position[3];
    uint32_t raw[3];
    uint8_t connected[3];
};

Positions decode(const Report& joystick)
{
    Positions p{};
    for (int a = 0; a < 3; ++a) {
        p.position[a] = orvsim::getU16(&joystick[1 + 2 * a]);
        p.raw[a] = orvsim::getU32(&joystick[7 + 4 + 4 * a]);
        p.connected[a] = joystick[7 + 16 + a];
    }
    return p;
}

} // namespace

class TestSimPedals : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void chains_data();
    void chains();
    void calibrationIsStoredAndReadBack();
    void calibrationMode();
    void factoryDefaultsRestoreTheCalibration();
    void positions_data();
    void positions();
    void unheldPedalsMove();

private:
    // The next joystick report sent after the model changed.
    Positions freshPositions();

    TestBus bus;
    std::unique_ptr<orvsim::Simulator> sim;
    SimPedals* pedals = nullptr;
    std::unique_ptr<SimClient> client;
};

void TestSimPedals::initTestCase()
{
    QVERIFY(bus.isValid());
    bus.useAsBackend();
    QCOMPARE(hid_init(), 0);
}

void TestSimPedals::cleanupTestCase()
{
    hid_exit();
}

void TestSimPedals::init()
{
    sim = std::make_unique<orvsim::Simulator>(bus.stdPath());
    pedals = sim->addPedals("pedals", 200);
    QVERIFY(pedals);
    client = std::make_unique<SimClient>(pedals->sockPath());
    QVERIFY(client->isOpen());
}

void TestSimPedals::cleanup()
{
    client.reset();
    sim.reset();
}

Positions TestSimPedals::freshPositions()
{
    client->drain();
    client->nextJoystick(); // may have been filled before the change
    return decode(client->nextJoystick());
}

void TestSimPedals::chains_data()
{
    QTest::addColumn<Chain>("chain");
    QTest::addColumn<int>("storedCount");
    QTest::addColumn<int>("activeCount");

    const auto cal = SimPedals::factoryCalibration().bytes();
    QTest::newRow("read")
        << Chain{answered(command(3, V, {{K, 0}}), 3,
                          {{2, 4}, {3, 2}, {4, 1}, {5, 3}, {6, 2}, {7, 7}, {K, 3}, {K + 1, 0}}),
                 answered(command(10, V), 10,
                          {{3, cal[0]}, {6, cal[3]}, {27, 0}, {28, 1}, {29, 2}}),
                 answered(command(5, V, {{3, 0}}), 5, {{3, 0}, {4, 'D'}}),
                 answered(command(5, V, {{3, 2}}), 5, {{3, 2}, {4, 'R'}}),
                 unanswered(command(5, V, {{3, 3}})),
                 unanswered(command(3, V, {{K, 0xFF}}))}
        << 3 << 3;
    QTest::newRow("save") << Chain{answered(command(4, V, {{K, 2}, {K + 1, 1}}), 4,
                                            {{K, 2}, {K + 1, 1}}),
                                   answered(record(6, 0), 6, {{3, 0}, {4, 'P'}}),
                                   answered(record(6, 1), 6, {{3, 1}}),
                                   answered(command(4, V, {{K, 0xFF}}), 4, {{K, 0xFF}})}
                          << 2 << 2;
    QTest::newRow("save above capacity")
        << Chain{unanswered(command(4, V, {{K, 41}})), unanswered(record(6, 0))} << 3 << 3;
    QTest::newRow("update") << Chain{answered(command(12, V, {{K, 1}, {K + 1, 0}}), 12, {{K, 1}}),
                                     answered(record(13, 0), 13, {{3, 0}}),
                                     answered(command(12, V, {{K, 0xFF}}), 12, {{K, 0xFF}})}
                            << 3 << 1;
}

void TestSimPedals::chains()
{
    QFETCH(Chain, chain);
    QFETCH(int, storedCount);
    QFETCH(int, activeCount);
    runChain(*client, chain, V);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(int(pedals->storedProfiles().count()), storedCount);
    QCOMPARE(int(pedals->profiles().count()), activeCount);
}

void TestSimPedals::calibrationIsStoredAndReadBack()
{
    SimPedalsCalibration mine;
    mine.full = {9000000, 9500000, 10000000};
    mine.neutral = {8400000, 8390000, 8380000};
    mine.channel = {2, 0xFF, 0};
    const auto bytes = mine.bytes();
    Report store = command(11, V);
    std::copy(bytes.begin(), bytes.end(), store.begin() + 3);

    const Report stored = client->ask(store);
    QVERIFY(!stored.empty());
    QCOMPARE(stored[1], uint8_t(11));
    QVERIFY(std::equal(bytes.begin(), bytes.end(), stored.begin() + 3));
    QCOMPARE(pedals->calibration().bytes(), bytes);

    // Kept through a restart: the calibration lives in the permanent store.
    pedals->unplug();
    QVERIFY(pedals->plug());
    client = std::make_unique<SimClient>(pedals->sockPath());
    const Report read = client->ask(command(10, V));
    QVERIFY(!read.empty());
    QCOMPARE(read[1], uint8_t(10));
    QVERIFY(std::equal(bytes.begin(), bytes.end(), read.begin() + 3));
}

void TestSimPedals::calibrationMode()
{
    const Report started = client->ask(command(14, V));
    QVERIFY(!started.empty());
    QCOMPARE(started[1], uint8_t(14));
    QVERIFY(pedals->isCalibrating());
    QVERIFY(client->send(command(15, V)));
    QVERIFY(client->quietFor(100));
    QVERIFY(!pedals->isCalibrating());

    // A restart ends calibration mode.
    QVERIFY(!client->ask(command(14, V)).empty());
    pedals->unplug();
    QVERIFY(pedals->plug());
    QVERIFY(!pedals->isCalibrating());
}

void TestSimPedals::factoryDefaultsRestoreTheCalibration()
{
    SimPedalsCalibration other = SimPedals::factoryCalibration();
    other.channel = {2, 1, 0};
    pedals->setCalibration(other);
    QVERIFY(client->send(command(8, V, {{5, 1}})));
    QVERIFY(client->quietFor(100));
    QCOMPARE(pedals->calibration().bytes(), SimPedals::factoryCalibration().bytes());
}

void TestSimPedals::positions_data()
{
    QTest::addColumn<int>("currentProfile");
    QTest::addColumn<QVector<int>>("channels"); // clutch, brake, throttle
    QTest::addColumn<int>("pedal");
    QTest::addColumn<double>("fraction");
    QTest::addColumn<int>("axis");
    QTest::addColumn<int>("position");

    const QVector<int> wired{0, 1, 2};
    QTest::newRow("brake half way") << 0 << wired << int(SimPedals::Brake) << 0.5 << 1 << 32768;
    QTest::newRow("throttle full") << 0 << wired << int(SimPedals::Throttle) << 1.0 << 2 << 65535;
    QTest::newRow("clutch at rest") << 0 << wired << int(SimPedals::Clutch) << 0.0 << 0 << 0;
    QTest::newRow("clutch a fifth") << 0 << wired << int(SimPedals::Clutch) << 0.2 << 0 << 13107;
    // The second preset's brake curve gives 25 % at 40 % travel, 45 % at 60 %.
    QTest::newRow("brake through its curve")
        << 1 << wired << int(SimPedals::Brake) << 0.5 << 1 << 22937;
    QTest::newRow("brake wired to Z")
        << 0 << QVector<int>{0, 2, 1} << int(SimPedals::Brake) << 0.25 << 2 << 16384;
}

void TestSimPedals::positions()
{
    QFETCH(int, currentProfile);
    QFETCH(QVector<int>, channels);
    QFETCH(int, pedal);
    QFETCH(double, fraction);
    QFETCH(int, axis);
    QFETCH(int, position);

    auto list = pedals->profiles();
    list.currentIndex = uint8_t(currentProfile);
    QVERIFY(pedals->setProfiles(list));
    SimPedalsCalibration cal = SimPedals::factoryCalibration();
    for (int p = 0; p < 3; ++p)
        cal.channel[size_t(p)] = uint8_t(channels[p]);
    pedals->setCalibration(cal);
    for (int a = 0; a < 3; ++a)
        pedals->setRaw(a, 0); // below every rest reading: position 0
    QVERIFY(pedals->setPedalPosition(pedal, fraction));

    const Positions now = freshPositions();
    QVERIFY2(qAbs(int(now.position[axis]) - position) <= 1, QByteArray::number(now.position[axis]));
    for (int a = 0; a < 3; ++a) {
        QCOMPARE(now.connected[a], uint8_t(1));
        if (a != axis)
            QCOMPARE(now.position[a], uint16_t(0));
    }
    const double neutral = cal.neutral[size_t(pedal)];
    const double expectedRaw = neutral + fraction * (cal.full[size_t(pedal)] - neutral);
    QVERIFY(qAbs(double(now.raw[axis]) - expectedRaw) <= 1);

    // Past full travel the position stops at 100 %; a pulled-out sensor
    // reads the midpoint and reports nothing.
    pedals->setRaw(axis, cal.full[size_t(pedal)] + 500000);
    QCOMPARE(freshPositions().position[axis], uint16_t(65535));
    pedals->setConnected(axis, false);
    const Positions unplugged = freshPositions();
    QCOMPARE(unplugged.connected[axis], uint8_t(0));
    QCOMPARE(unplugged.position[axis], uint16_t(0));
    QCOMPARE(unplugged.raw[axis], SimPedals::RawMidpoint);
}

void TestSimPedals::unheldPedalsMove()
{
    const Positions first = freshPositions();
    QTest::qWait(400);
    const Positions later = freshPositions();
    int moved = 0;
    for (int a = 0; a < 3; ++a) {
        moved += first.raw[a] != later.raw[a];
        // Readings stay near the converter's midpoint.
        QVERIFY(qAbs(int64_t(later.raw[a]) - int64_t(SimPedals::RawMidpoint)) < 4000000);
    }
    QCOMPARE(moved, 3);
}

QTEST_GUILESS_MAIN(TestSimPedals)
#include "tst_simpedals.moc"
