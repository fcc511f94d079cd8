// The simulated wheel base as the tool sees it over the HID layer: the
// answers of the read, save and live update chains, what they leave in the
// model, centring, factory defaults, test commands and the telemetry.

#include "CommandChain.h"
#include "sim/SimProtocol.h"
#include "sim/Simulator.h"
#include "support/TestBus.h"

#include <QTest>

#include <cmath>
#include <cstring>
#include <memory>

using orvsim::SimWheelBase;

namespace {

constexpr uint8_t V = 6;
constexpr size_t K = 42;

Report readBegin()
{
    return command(3, V, {{K, 0}});
}

Report readProfile(uint8_t i)
{
    return command(5, V, {{3, i}});
}

Report begin(uint8_t code, uint8_t count, uint8_t current)
{
    return command(code, V, {{K, count}, {K + 1, current}});
}

Report end(uint8_t code)
{
    return command(code, V, {{K, 0xFF}});
}

// A record command for slot i, named, with a rotation range of 720 degrees.
Report record(uint8_t code, uint8_t i, const char* name = "Test")
{
    Report r = command(code, V, {{3, i}});
    std::strncpy(reinterpret_cast<char*>(&r[4]), name, 15);
    orvsim::putU32(&r[3 + SimWheelBase::RotationDegrees], 720);
    orvsim::putU32(&r[3 + SimWheelBase::MaxForce], 30);
    return r;
}

std::string nameOf(const std::vector<uint8_t>& rec)
{
    return std::string(reinterpret_cast<const char*>(&rec[1]),
                       strnlen(reinterpret_cast<const char*>(&rec[1]), 16));
}

} // namespace

class TestSimWheelBase : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void chains_data();
    void chains();
    void savedListOutlivesARestartLiveUpdateDoesNot();
    void factoryProfileCount();
    void centringTakesTheRimAngle();
    void factoryDefaults_data();
    void factoryDefaults();
    void testCommands_data();
    void testCommands();
    void telemetryLayouts_data();
    void telemetryLayouts();
    void debugOutputOnRequest();

private:
    TestBus bus;
    std::unique_ptr<orvsim::Simulator> sim;
    SimWheelBase* wheel = nullptr;
    std::unique_ptr<SimClient> client;
};

void TestSimWheelBase::initTestCase()
{
    QVERIFY(bus.isValid());
    bus.useAsBackend();
    QCOMPARE(hid_init(), 0);
}

void TestSimWheelBase::cleanupTestCase()
{
    hid_exit();
}

void TestSimWheelBase::init()
{
    sim = std::make_unique<orvsim::Simulator>(bus.stdPath());
    wheel = sim->addWheelBase("wheel", 200);
    QVERIFY(wheel);
    client = std::make_unique<SimClient>(wheel->sockPath());
    QVERIFY(client->isOpen());
}

void TestSimWheelBase::cleanup()
{
    client.reset();
    sim.reset();
}

void TestSimWheelBase::chains_data()
{
    QTest::addColumn<Chain>("chain");
    QTest::addColumn<int>("storedCount");
    QTest::addColumn<int>("activeCount");
    QTest::addColumn<int>("activeCurrent");

    QTest::newRow("read") << Chain{answered(readBegin(), 3,
                                            {{2, 6},
                                             {3, 1},
                                             {4, 2},
                                             {5, 1},
                                             {6, 3},
                                             {7, 4},
                                             {10, 'T'},
                                             {K, 3},
                                             {K + 1, 0}}),
                                   answered(readProfile(0), 5, {{3, 0}, {4, 'D'}, {5, 'e'}}),
                                   answered(readProfile(1), 5, {{3, 1}, {4, 'G'}}),
                                   answered(readProfile(2), 5, {{3, 2}, {4, 'D'}, {5, 'r'}}),
                                   unanswered(command(3, V, {{K, 0xFF}}))}
                          << 3 << 3 << 0;
    QTest::newRow("read past the list")
        << Chain{unanswered(readProfile(3)), unanswered(readProfile(255))} << 3 << 3 << 0;
    QTest::newRow("save") << Chain{answered(begin(4, 2, 1), 4, {{K, 2}, {K + 1, 1}}),
                                   answered(record(6, 0, "Wet"), 6, {{3, 0}, {4, 'W'}}),
                                   answered(record(6, 1, "Dry"), 6, {{3, 1}, {4, 'D'}}),
                                   answered(end(4), 4, {{K, 0xFF}})}
                          << 2 << 2 << 1;
    QTest::newRow("save repeating a record")
        << Chain{answered(begin(4, 1, 0), 4), answered(record(6, 0), 6, {{3, 0}}),
                 answered(record(6, 0), 6, {{3, 0}}), answered(end(4), 4, {{K, 0xFF}})}
        << 1 << 1 << 0;
    QTest::newRow("save with a record missing")
        << Chain{answered(begin(4, 2, 0), 4), answered(record(6, 0), 6), unanswered(end(4))} << 3
        << 3 << 0;
    QTest::newRow("save of no profiles")
        << Chain{unanswered(begin(4, 0, 0)), unanswered(record(6, 0)), unanswered(end(4))} << 3 << 3
        << 0;
    QTest::newRow("save above capacity")
        << Chain{unanswered(begin(4, 101, 0)), unanswered(record(6, 0))} << 3 << 3 << 0;
    QTest::newRow("save of a full list")
        << Chain{answered(begin(4, 100, 99), 4, {{K, 100}, {K + 1, 99}}),
                 answered(record(6, 99), 6, {{3, 99}})}
        << 3 << 3 << 0;
    QTest::newRow("current index past the count is clamped")
        << Chain{answered(begin(4, 2, 7), 4, {{K, 2}, {K + 1, 1}})} << 3 << 3 << 0;
    QTest::newRow("record past the announced count")
        << Chain{answered(begin(4, 2, 0), 4), unanswered(record(6, 2)), unanswered(record(6, 200))}
        << 3 << 3 << 0;
    QTest::newRow("record without a begin")
        << Chain{unanswered(record(6, 0)), unanswered(record(13, 0))} << 3 << 3 << 0;
    QTest::newRow("record of the other transfer")
        << Chain{answered(begin(12, 3, 0), 12), unanswered(record(6, 0))} << 3 << 3 << 0;
    QTest::newRow("end without a begin")
        << Chain{unanswered(end(4)), unanswered(end(12))} << 3 << 3 << 0;
    QTest::newRow("update") << Chain{answered(begin(12, 3, 2), 12, {{K, 3}, {K + 1, 2}}),
                                     answered(record(13, 0, "Live"), 13, {{3, 0}, {4, 'L'}}),
                                     answered(record(13, 1), 13, {{3, 1}}),
                                     answered(record(13, 2), 13, {{3, 2}}),
                                     answered(end(12), 12, {{K, 0xFF}})}
                            << 3 << 3 << 2;
    QTest::newRow("update adding a profile")
        << Chain{answered(begin(12, 4, 3), 12),
                 answered(record(13, 0), 13),
                 answered(record(13, 1), 13),
                 answered(record(13, 2), 13),
                 answered(record(13, 3, "New"), 13, {{3, 3}, {4, 'N'}}),
                 answered(end(12), 12, {{K, 0xFF}})}
        << 3 << 4 << 3;
}

void TestSimWheelBase::chains()
{
    QFETCH(Chain, chain);
    QFETCH(int, storedCount);
    QFETCH(int, activeCount);
    QFETCH(int, activeCurrent);
    runChain(*client, chain, V);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(int(wheel->storedProfiles().count()), storedCount);
    QCOMPARE(int(wheel->profiles().count()), activeCount);
    QCOMPARE(int(wheel->profiles().currentIndex), activeCurrent);
    // Records keep the slot they were sent for.
    const auto list = wheel->profiles();
    for (size_t i = 0; i < list.count(); ++i)
        QCOMPARE(list.records[i][0], uint8_t(i));
}

void TestSimWheelBase::savedListOutlivesARestartLiveUpdateDoesNot()
{
    for (const Report& c :
         {begin(12, 3, 0), record(13, 0, "Live"), record(13, 1), record(13, 2), end(12)})
        QVERIFY(!client->ask(c).empty());
    QCOMPARE(nameOf(wheel->profiles().records[0]), std::string("Live"));
    QCOMPARE(nameOf(wheel->storedProfiles().records[0]), std::string("Default"));

    wheel->unplug();
    QVERIFY(wheel->plug());
    QCOMPARE(nameOf(wheel->profiles().records[0]), std::string("Default"));

    client = std::make_unique<SimClient>(wheel->sockPath());
    for (const Report& c : {begin(4, 1, 0), record(6, 0, "Kept"), end(4)})
        QVERIFY(!client->ask(c).empty());
    wheel->unplug();
    QVERIFY(wheel->plug());
    QCOMPARE(int(wheel->profiles().count()), 1);
    QCOMPARE(nameOf(wheel->profiles().records[0]), std::string("Kept"));
}

void TestSimWheelBase::factoryProfileCount()
{
    wheel->setDefaultProfileCount(5);
    const Report answer = client->ask(readBegin());
    QVERIFY(!answer.empty());
    QCOMPARE(int(answer[K]), 5);
    const Report last = client->ask(readProfile(4));
    QVERIFY(!last.empty());
    QCOMPARE(nameOf(Report(last.begin() + 3, last.end())), std::string("Profile 5"));
    // Distinct presets, so transfers that mix up slots show.
    QVERIFY(wheel->profiles().records[0] != wheel->profiles().records[1]);
}

void TestSimWheelBase::centringTakesTheRimAngle()
{
    // 0.125 turns off centre with 900 degrees of rotation: a tenth of the
    // way to full lock.
    wheel->setWheelPosition(0.125);
    Report joystick = client->nextJoystick();
    QVERIFY(!joystick.empty());
    QVERIFY(qAbs(int16_t(orvsim::getU16(&joystick[1])) - 3277) <= 1);

    const auto profile = wheel->profiles().records[0];
    Report centre = command(7, V);
    std::copy(profile.begin(), profile.end(), centre.begin() + 3);
    centre[3 + 35] = 9; // an edit the tool has not sent yet stays in the record
    const Report answer = client->ask(centre);
    QVERIFY(!answer.empty());
    QCOMPARE(answer[1], uint8_t(7));
    QCOMPARE(answer[2], V);
    QCOMPARE(answer[3], uint8_t(0));
    QCOMPARE(orvsim::getF32(&answer[3 + SimWheelBase::CenterOffset]), 0.125f);
    QCOMPARE(answer[3 + 35], uint8_t(9));
    QCOMPARE(wheel->profiles().records[0],
             std::vector<uint8_t>(answer.begin() + 3, answer.begin() + 3 + 54));

    // The wheel now reads centred.
    client->drain();
    client->nextJoystick();
    joystick = client->nextJoystick();
    QVERIFY(!joystick.empty());
    QVERIFY(qAbs(int16_t(orvsim::getU16(&joystick[1]))) <= 1);

    // A record for a slot the device does not have is not centred.
    centre[3] = 3;
    QVERIFY(client->send(centre));
    QVERIFY(client->quietFor(100));
}

void TestSimWheelBase::factoryDefaults_data()
{
    QTest::addColumn<int>("byte3");
    QTest::addColumn<int>("byte5");
    QTest::addColumn<bool>("restored");
    QTest::newRow("defaults") << 0 << 1 << true;
    QTest::newRow("byte 5 not set") << 0 << 0 << false;
    QTest::newRow("byte 5 other value") << 0 << 2 << false;
    QTest::newRow("leave-bootloader form") << 1 << 0 << false;
}

void TestSimWheelBase::factoryDefaults()
{
    QFETCH(int, byte3);
    QFETCH(int, byte5);
    QFETCH(bool, restored);
    for (const Report& c : {begin(4, 1, 0), record(6, 0, "Mine"), end(4)})
        QVERIFY(!client->ask(c).empty());
    QVERIFY(client->send(command(8, V, {{3, uint8_t(byte3)}, {5, uint8_t(byte5)}})));
    QVERIFY(client->quietFor(100)); // not answered either way
    QCOMPARE(wheel->profiles().count(), restored ? size_t(3) : size_t(1));
    QCOMPARE(wheel->storedProfiles().count(), restored ? size_t(3) : size_t(1));
    QCOMPARE(nameOf(wheel->storedProfiles().records[0]),
             std::string(restored ? "Default" : "Mine"));
    QCOMPARE(wheel->identity(), orvsim::SimFirmwareDevice::Identity::Application);
}

void TestSimWheelBase::testCommands_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<float>("force");
    QTest::addColumn<bool>("answered");
    QTest::addColumn<float>("forceAfter");
    QTest::addColumn<bool>("resistorAfter");
    QTest::newRow("force") << 0 << 0.5f << true << 0.5f << false;
    QTest::newRow("force beyond full") << 0 << 7.0f << true << 1.0f << false;
    QTest::newRow("force not a number") << 0 << std::nanf("") << true << 0.0f << false;
    QTest::newRow("resistor on") << 1 << 0.0f << true << 0.0f << true;
    QTest::newRow("resistor off") << 2 << 0.0f << true << 0.0f << false;
    QTest::newRow("unknown test") << 3 << 0.0f << false << 0.0f << false;
}

void TestSimWheelBase::testCommands()
{
    QFETCH(int, kind);
    QFETCH(float, force);
    QFETCH(bool, answered);
    QFETCH(float, forceAfter);
    QFETCH(bool, resistorAfter);
    Report c = command(9, V, {{3, uint8_t(kind)}});
    orvsim::putF32(&c[4], force);
    if (!answered) {
        QVERIFY(client->send(c));
        QVERIFY(client->quietFor(100));
        return;
    }
    const Report answer = client->ask(c);
    QVERIFY(!answer.empty());
    QCOMPARE(answer[1], uint8_t(9));
    QCOMPARE(int(answer[3]), kind);
    QCOMPARE(orvsim::getF32(&answer[4]), forceAfter);
    QCOMPARE(answer[8] != 0, resistorAfter);
    QCOMPARE(wheel->testForce(), forceAfter);
    QCOMPARE(wheel->brakeResistorOn(), resistorAfter);
}

void TestSimWheelBase::telemetryLayouts_data()
{
    QTest::addColumn<int>("layout");
    QTest::newRow("status") << 1;
    QTest::newRow("force samples") << 2;
    QTest::newRow("motor trace") << 3;
}

void TestSimWheelBase::telemetryLayouts()
{
    QFETCH(int, layout);
    wheel->setTelemetryLayout(layout);
    client->drain();
    client->nextJoystick();
    const Report first = client->nextJoystick();
    QVERIFY(!first.empty());
    QCOMPARE(int(first[4]), layout);
    QTest::qWait(50);
    const Report later = client->nextJoystick();
    QVERIFY(!later.empty());
    const uint8_t* a = &first[5]; // record byte 4
    const uint8_t* b = &later[5];
    if (layout == 1) {
        QVERIFY(orvsim::getU32(b + 1) > orvsim::getU32(a + 1)); // ticks
        QCOMPARE(orvsim::getU16(a + 5), uint16_t(4));           // running
        for (int t = 44; t < 48; ++t)
            QVERIFY2(a[t] >= 15 && a[t] <= 90, QByteArray::number(t));
        QVERIFY(a[41] > 0); // a current limit
    } else if (layout == 2) {
        QVERIFY(a[3] >= 1 && a[3] <= 11); // sample count
        QVERIFY(a[2] < a[3]);             // sample position inside the batch
        QVERIFY(std::isfinite(orvsim::getF32(a + 48)));
    } else {
        QVERIFY(orvsim::getU32(b) > orvsim::getU32(a)); // ticks
        for (int i = 0; i < 9; ++i)
            QVERIFY(std::isfinite(orvsim::getF32(a + 4 + 4 * i)));
        for (int pwm = 3; pwm < 6; ++pwm) {
            const float duty = orvsim::getF32(a + 4 + 4 * pwm);
            QVERIFY(duty >= 0.0f && duty <= 1.0f);
        }
    }
}

void TestSimWheelBase::debugOutputOnRequest()
{
    QTRY_VERIFY(wheel->connectionCount() > 0); // sent only to connections already taken
    wheel->sendDebugOutput();
    const Report first = client->nextAnswer();
    QTest::qWait(20);
    wheel->sendDebugOutput();
    const Report second = client->nextAnswer();
    QVERIFY(!first.empty() && !second.empty());
    QCOMPARE(first[1], uint8_t(2));
    QCOMPARE(orvsim::getU16(&first[8]), uint16_t(4));                // running
    QVERIFY(orvsim::getU32(&second[4]) > orvsim::getU32(&first[4])); // ticks
}

QTEST_GUILESS_MAIN(TestSimWheelBase)
#include "tst_simwheelbase.moc"
