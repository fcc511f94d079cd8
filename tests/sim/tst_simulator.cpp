// The simulated devices as the tool's own tests rely on them: the device side
// of the transfers, the bootloader, the fault knobs, the frame time, and no
// crash or hang on whatever output reports arrive.

#include "SimClient.h"
#include "profiles/crc32Words.h"
#include "sim/SimProtocol.h"
#include "sim/Simulator.h"
#include "support/TestBus.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTest>

#include <algorithm>
#include <memory>
#include <thread>

using orvsim::SimFirmwareDevice;
using Identity = SimFirmwareDevice::Identity;

namespace {

// Protocol version and the byte of the profile count, per kind.
struct Kind
{
    uint8_t version;
    size_t k;
};
constexpr Kind W{6, 42};
constexpr Kind P{4, 10};

Report begin(Kind d, uint8_t code, uint8_t count, uint8_t current = 0)
{
    return command(code, d.version, {{d.k, count}, {d.k + 1, current}});
}

Report end(Kind d, uint8_t code)
{
    return command(code, d.version, {{d.k, 0xFF}});
}

Report record(Kind d, uint8_t code, uint8_t i)
{
    return command(code, d.version, {{3, i}, {4, 'N'}});
}

// A command and its expected answer: its code (-1: none may come) and one byte.
struct Step
{
    Report command;
    int code;
    size_t at = 0; // 0: no byte checked
    int value = 0;
};
using Chain = QVector<Step>;

// A chunk as the tool builds it, CRC from the tool's routine, with the tail of
// the chunk before.
Report chunk(const std::vector<uint8_t>& image, int index, int count)
{
    Report r = command(1, 0);
    std::copy_n(image.begin() + index * 32, 32, r.begin() + 2);
    orvsim::putU16(&r[34], uint16_t(index));
    orvsim::putU16(&r[36], uint16_t(count));
    orvsim::putU32(&r[38], crc32Words(&r[2], 32));
    if (index > 0) {
        r[42] = 1;
        std::copy_n(image.begin() + index * 32 - 16, 16, r.begin() + 43);
    }
    return r;
}

} // namespace

Q_DECLARE_METATYPE(Chain)

class TestSimulator : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(bus.isValid());
        bus.useAsBackend();
        QCOMPARE(hid_init(), 0);
    }

    void cleanupTestCase() { hid_exit(); }

    void init()
    {
        sim = std::make_unique<orvsim::Simulator>(bus.stdPath());
        wheel = sim->addWheelBase("wheel", 200);
        pedals = sim->addPedals("pedals", 200);
        QVERIFY(wheel && pedals);
        wheel->setRebootDelay(std::chrono::milliseconds(20));
        pedals->setRebootDelay(std::chrono::milliseconds(20));
    }

    void cleanup() { sim.reset(); }

    void transfers_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<Chain>("chain");
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("active");

        // The end of a read is not answered: the tool would take it for a new read.
        QTest::newRow("wheel base read") << 0
                                         << Chain{{begin(W, 3, 0), 3, W.k, 3},
                                                  {command(5, 6, {{3, 2}}), 5, 3, 2},
                                                  {command(5, 6, {{3, 3}}), -1},
                                                  {end(W, 3), -1}}
                                         << 3 << 3;
        QTest::newRow("wheel base save with a record missing")
            << 0 << Chain{{begin(W, 4, 2), 4}, {record(W, 6, 0), 6}, {end(W, 4), -1}} << 3 << 3;
        QTest::newRow("wheel base save above capacity")
            << 0 << Chain{{begin(W, 4, 101), -1}, {record(W, 6, 0), -1}} << 3 << 3;
        QTest::newRow("wheel base live update adding a profile")
            << 0 << Chain{{begin(W, 12, 4, 3), 12, W.k, 4}, {record(W, 13, 0), 13},
                          {record(W, 13, 1), 13},           {record(W, 13, 2), 13},
                          {record(W, 13, 3), 13, 3, 3},     {end(W, 12), 12, W.k, 0xFF}}
            << 3 << 4;
        QTest::newRow("pedals save") << 1
                                     << Chain{{begin(P, 4, 2), 4, P.k, 2},
                                              {record(P, 6, 0), 6, 4, 'N'},
                                              {record(P, 6, 1), 6, 3, 1},
                                              {end(P, 4), 4, P.k, 0xFF}}
                                     << 2 << 2;
        QTest::newRow("pedals save above capacity") << 1 << Chain{{begin(P, 4, 41), -1}} << 3 << 3;
        QTest::newRow("pedals live update") << 1
                                            << Chain{{begin(P, 12, 1), 12, P.k, 1},
                                                     {record(P, 13, 0), 13},
                                                     {end(P, 12), 12, P.k, 0xFF}}
                                            << 3 << 1;
        QTest::newRow("pedals calibration stored and read back")
            << 1 << Chain{{command(11, 4, {{3, 0x5A}}), 11, 3, 0x5A}, {command(10, 4), 10, 3, 0x5A}}
            << 3 << 3;
    }

    void transfers()
    {
        QFETCH(int, kind);
        QFETCH(Chain, chain);
        QFETCH(int, stored);
        QFETCH(int, active);
        SimFirmwareDevice* dev = device(kind);
        SimClient client(dev->sockPath());
        for (int s = 0; s < chain.size(); ++s) {
            const Step& step = chain[s];
            const QByteArray where = "step " + QByteArray::number(s);
            QVERIFY2(client.send(step.command), where);
            if (step.code < 0) {
                QVERIFY2(client.quietFor(80), where);
                continue;
            }
            const Report answer = client.nextAnswer();
            QVERIFY2(answer.size() == 64, where);
            QVERIFY2(answer[1] == step.code && answer[2] == step.command[2], where);
            QVERIFY2(step.at == 0 || answer[step.at] == step.value, where);
        }
        QCOMPARE(int(dev->storedProfiles().count()), stored);
        QCOMPARE(int(dev->profiles().count()), active);
    }

    void firmwareUpdate_data()
    {
        // Steps: N chunk N; bN chunk N with a bad CRC; cN chunk N whose echo is
        // damaged on the way back; tN chunk N whose tail disagrees with chunk N-1;
        // sN chunk N after which the bootloader hangs; qN chunk N left unanswered;
        // F the final command; L leave the bootloader.
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("steps");
        QTest::addColumn<int>("firmwareStep"); // -1: stays in the bootloader

        QTest::newRow("pedals") << 1 << "0 1 2 3 4 F" << 1;
        QTest::newRow("repeated, resent after a bad CRC") << 0 << "0 1 1 b2 2 3 4 F" << 1;
        QTest::newRow("damaged echo, chunk intact") << 0 << "0 c1 2 3 4 F" << 1;
        QTest::newRow("bad CRC not resent") << 0 << "0 1 b2 3 4 F" << -1;
        QTest::newRow("chunk missing") << 0 << "0 1 3 4 F" << -1;
        QTest::newRow("tail disagrees") << 0 << "0 1 2 t3 4 F" << -1;
        QTest::newRow("left half way") << 1 << "0 1 L" << 0;
        QTest::newRow("hangs after chunk 1") << 0 << "0 s1 q2" << -1;
    }

    void firmwareUpdate()
    {
        QFETCH(int, kind);
        QFETCH(QString, steps);
        QFETCH(int, firmwareStep);
        SimFirmwareDevice* dev = device(kind);
        const auto before = dev->deviceInfo();
        std::vector<uint8_t> image(5 * 32);
        for (size_t i = 0; i < image.size(); ++i)
            image[i] = uint8_t(i * 37 + 11);

        enterBootloader(dev);
        SimClient boot(dev->bootloader().sockPath());
        for (const QString& step : steps.split(' ')) {
            const char op = step[0].toLatin1();
            if (op == 'q') {
                QVERIFY(boot.send(chunk(image, step.right(1).toInt(), 5)));
                QVERIFY2(boot.quietFor(100), qPrintable(step));
                continue;
            }
            if (op == 'F' || op == 'L') {
                QVERIFY(boot.send(op == 'F' ? command(1, 0, {{34, 5}, {36, 5}})
                                            : command(8, 2, {{3, 1}})));
                continue;
            }
            const int n = step.right(1).toInt();
            Report sent = chunk(image, n, 5);
            sent[38] ^= op == 'b' ? 1 : 0;
            sent[43] ^= op == 't' ? 0x80 : 0;
            dev->bootloader().setCorruptEchoOfChunk(op == 'c' ? n : -1);
            dev->bootloader().setSilentAfterChunk(op == 's' ? n : -1);
            const Report echo = boot.ask(sent);
            QVERIFY2(echo.size() == 64, qPrintable(step));
            // The tool checks each echo's CRC and resends the chunk if it fails.
            QVERIFY2((crc32Words(&echo[2], 32) == orvsim::getU32(&echo[38])) ==
                         (op != 'b' && op != 'c'),
                     qPrintable(step));
            QVERIFY2(op == 'c' || std::equal(sent.begin() + 1, sent.end(), echo.begin() + 1),
                     qPrintable(step));
        }
        if (firmwareStep < 0) {
            // An image with holes is not started.
            QVERIFY(boot.quietFor(100));
            QCOMPARE(dev->identity(), Identity::Bootloader);
            QCOMPARE(dev->installedUpdates(), 0);
            return;
        }
        QVERIFY(boot.waitGone(2000));
        QVERIFY(dev->waitForIdentity(Identity::Application, 2000));
        QVERIFY(!dev->bootloader().isPlugged());
        QCOMPARE(dev->installedUpdates(), firmwareStep);
        if (firmwareStep > 0)
            QCOMPARE(dev->installedImage(), image);
        SimClient app(dev->sockPath());
        const Report settings = app.ask(begin(kind == 0 ? W : P, 3, 0));
        QVERIFY(settings.size() == 64);
        QCOMPARE(settings[6], before.firmwareMajor);
        QCOMPARE(int(settings[7]), before.firmwareMinor + firmwareStep);
    }

    void faults_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QVector<int>>("codes"); // of the answers to a read of three profiles
        QTest::addColumn<int>("version");        // of the settings answer
        QTest::addColumn<bool>("stream");
        QTest::newRow("silent") << 0 << QVector<int>{} << 6 << true;
        QTest::newRow("stream silent") << 1 << QVector<int>{3, 5, 5, 5} << 6 << false;
        QTest::newRow("every second answer lost") << 2 << QVector<int>{3, 5} << 6 << true;
        QTest::newRow("older protocol version") << 3 << QVector<int>{3, 5, 5, 5} << 5 << true;
        QTest::newRow("end of read echoed") << 4 << QVector<int>{3, 5, 5, 5, 3} << 6 << true;
    }

    void faults()
    {
        QFETCH(int, fault);
        QFETCH(QVector<int>, codes);
        QFETCH(int, version);
        QFETCH(bool, stream);
        SimClient client(wheel->sockPath());
        auto one = wheel->profiles();
        one.records.resize(1);
        QVERIFY(wheel->setProfiles(one));
        wheel->setSilent(fault == 0);
        wheel->setStreamSilent(fault == 1);
        wheel->setDropEveryKthAnswer(fault == 2 ? 2 : 0);
        wheel->setProtocolVersionOverride(fault == 3 ? version : -1);
        wheel->setEchoReadEnd(fault == 4);
        // Factory defaults first: acted on unless the firmware hangs.
        for (const Report& c : {command(8, 6, {{5, 1}}), begin(W, 3, 0), command(5, 6, {{3, 0}}),
                                command(5, 6, {{3, 1}}), command(5, 6, {{3, 2}}), end(W, 3)})
            QVERIFY(client.send(c));
        QVector<int> got;
        for (Report a = client.nextAnswer(150); !a.empty(); a = client.nextAnswer(150)) {
            if (got.isEmpty())
                QCOMPARE(int(a[2]), version);
            got.append(a[1]);
        }
        QCOMPARE(got, codes);
        QCOMPARE(int(wheel->profiles().count()), fault == 0 ? 1 : 3);
        QCOMPARE(client.nextJoystick(100).empty(), !stream);
    }

    void unplugAfterReports()
    {
        SimClient client(pedals->sockPath());
        QVERIFY(!client.nextJoystick().empty());
        // Set between reports, so none is on its way while counting starts.
        pedals->stopStreaming();
        const uint64_t before = pedals->streamedReports();
        pedals->setUnplugAfterReports(5);
        pedals->startStreaming(200);
        QVERIFY(client.waitGone(2000));
        QVERIFY(pedals->waitForIdentity(Identity::Absent, 1000));
        // The count follows each report out a moment later.
        QTRY_COMPARE(pedals->streamedReports() - before, uint64_t(5));
    }

    void frameTime()
    {
        constexpr qint64 frameUs = 2000;
        wheel->setFrameTime(std::chrono::microseconds(frameUs));
        SimClient client(wheel->sockPath());
        // Taken at the next frame start, answered at the one after: always more
        // than one frame, at most two plus the way there and back. Sent at ten
        // points of a frame (an answer arrives at a frame start); the best and
        // the median allow for a machine busy elsewhere.
        std::vector<qint64> us;
        for (int round = 0; round < 10; ++round) {
            std::this_thread::sleep_for(std::chrono::microseconds(round * frameUs / 10));
            QElapsedTimer timer;
            timer.start();
            QVERIFY(!client.ask(begin(W, 3, 0)).empty());
            us.push_back(timer.nsecsElapsed() / 1000);
        }
        std::sort(us.begin(), us.end());
        const QByteArray times = QByteArray::number(us[0]) + " " + QByteArray::number(us[5]);
        QVERIFY2(us[0] > frameUs && us[0] < 2 * frameUs && us[5] <= 3 * frameUs, times);
    }

    void randomReports_data()
    {
        QTest::addColumn<int>("target");
        QTest::newRow("wheel base") << 0;
        QTest::newRow("pedals") << 1;
        QTest::newRow("bootloader") << 2;
    }

    void randomReports()
    {
        QFETCH(int, target);
        SimFirmwareDevice* owner = target == 1 ? pedals : wheel;
        if (target == 2)
            enterBootloader(wheel);
        const Identity identity = owner->identity();
        orvsim::SimDevice& dev =
            target == 2 ? static_cast<orvsim::SimDevice&>(owner->bootloader()) : *owner;
        SimClient fuzz(dev.sockPath());
        QRandomGenerator random(quint32(target + 1));
        for (int i = 0; i < 1500; ++i) {
            Report r(random.bounded(1, 130));
            for (auto& b : r)
                b = uint8_t(random.bounded(256));
            // Mostly commands, so every handler sees garbage.
            const bool asCommand = random.bounded(4) != 0;
            r[0] = asCommand ? 0x64 : r[0];
            if (r.size() > 1 && r[0] == 0x64) {
                r[1] = asCommand ? uint8_t(random.bounded(17)) : r[1];
                // Except the two that rightly change what is on the bus (short
                // reports go out zero-padded).
                const bool leaves = target == 2 ? r[1] == 8 && r.size() > 3 && r[3] == 1
                                                : r[1] == 1 && (r.size() < 3 || r[2] == 0);
                r[1] = leaves ? 0 : r[1];
            }
            QVERIFY(fuzz.send(r));
        }
        QVERIFY(dev.waitForReceived(1500, 5000));
        QCOMPARE(owner->identity(), identity);

        // Still answering, once the answers to the garbage are through.
        SimClient client(dev.sockPath());
        QVERIFY(client.send(target == 2 ? command(3, 2) : begin(target == 1 ? P : W, 3, 0)));
        Report answer = client.nextAnswer();
        while (!answer.empty() && answer[1] != 3)
            answer = client.nextAnswer();
        QVERIFY(!answer.empty());
    }

private:
    SimFirmwareDevice* device(int kind) { return kind == 0 ? wheel : pedals; }
    void enterBootloader(SimFirmwareDevice* dev)
    {
        SimClient app(dev->sockPath());
        QVERIFY(app.send(command(1, 0)));
        // The pedals confirm the command, the wheel base just leaves.
        QCOMPARE(app.nextAnswer(2000).empty(), dev == wheel);
        QVERIFY(app.waitGone(2000));
        QVERIFY(dev->waitForIdentity(Identity::Bootloader, 2000));
    }

    TestBus bus;
    std::unique_ptr<orvsim::Simulator> sim;
    SimFirmwareDevice* wheel = nullptr;
    SimFirmwareDevice* pedals = nullptr;
};

QTEST_GUILESS_MAIN(TestSimulator)
#include "tst_simulator.moc"
