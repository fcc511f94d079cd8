// The fault knobs of the simulated devices, and what they do with output
// reports of any size and content: never crash, never hang, keep answering.

#include "SimClient.h"
#include "profiles/crc32Words.h"
#include "sim/SimProtocol.h"
#include "sim/Simulator.h"
#include "support/TestBus.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTest>

#include <memory>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using orvsim::SimDevice;
using orvsim::SimFirmwareDevice;
using Identity = SimFirmwareDevice::Identity;

namespace {

// A bare connection to a device socket, for reports the HID layer would
// never send as they are (it pads short ones to 64 bytes).
class RawConnection
{
public:
    explicit RawConnection(const std::string& path)
    {
        fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
            ::close(fd);
            fd = -1;
        }
    }
    ~RawConnection()
    {
        if (fd >= 0)
            ::close(fd);
    }
    bool send(const Report& r) { return ::send(fd, r.data(), r.size(), MSG_NOSIGNAL) >= 0; }
    bool isOpen() const { return fd >= 0; }

private:
    int fd = -1;
};

} // namespace

class TestSimFaults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void protocolVersion_data();
    void protocolVersion();
    void silence_data();
    void silence();
    void droppedAnswers_data();
    void droppedAnswers();
    void corruptedChunkEcho();
    void unplugAfterReports_data();
    void unplugAfterReports();
    void frameTime_data();
    void frameTime();
    void shortReportIsReadAsPadded();
    void malformedReports_data();
    void malformedReports();

private:
    SimFirmwareDevice* device(int kind) { return kind == 0 ? wheel : pedals; }
    static Report readBegin(SimFirmwareDevice* dev)
    {
        return command(3, uint8_t(dev->layout().protocolVersion), {{dev->layout().countByte, 0}});
    }

    TestBus bus;
    std::unique_ptr<orvsim::Simulator> sim;
    SimFirmwareDevice* wheel = nullptr;
    SimFirmwareDevice* pedals = nullptr;
};

void TestSimFaults::initTestCase()
{
    QVERIFY(bus.isValid());
    bus.useAsBackend();
    QCOMPARE(hid_init(), 0);
}

void TestSimFaults::cleanupTestCase()
{
    hid_exit();
}

void TestSimFaults::init()
{
    sim = std::make_unique<orvsim::Simulator>(bus.stdPath());
    wheel = sim->addWheelBase("wheel", 200);
    pedals = sim->addPedals("pedals", 200);
    QVERIFY(wheel && pedals);
    for (auto* dev : {wheel, pedals})
        dev->setRebootDelay(std::chrono::milliseconds(20));
}

void TestSimFaults::cleanup()
{
    sim.reset();
}

void TestSimFaults::protocolVersion_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("version");
    QTest::newRow("older wheel base") << 0 << 5;
    QTest::newRow("newer wheel base") << 0 << 7;
    QTest::newRow("ancient wheel base") << 0 << 1;
    QTest::newRow("older pedals") << 1 << 3;
    QTest::newRow("newer pedals") << 1 << 5;
}

void TestSimFaults::protocolVersion()
{
    QFETCH(int, kind);
    QFETCH(int, version);
    SimFirmwareDevice* dev = device(kind);
    SimClient client(dev->sockPath());
    dev->setProtocolVersionOverride(version);
    Report answer = client.ask(readBegin(dev));
    QVERIFY(!answer.empty());
    QCOMPARE(int(answer[2]), version);
    dev->setProtocolVersionOverride(-1);
    answer = client.ask(readBegin(dev));
    QVERIFY(!answer.empty());
    QCOMPARE(int(answer[2]), dev->layout().protocolVersion);
}

void TestSimFaults::silence_data()
{
    QTest::addColumn<bool>("streamToo");
    QTest::newRow("answers only") << false;
    QTest::newRow("answers and stream") << true;
}

void TestSimFaults::silence()
{
    QFETCH(bool, streamToo);
    SimClient client(wheel->sockPath());
    wheel->setSilent(true);
    wheel->setStreamSilent(streamToo);
    const size_t before = wheel->received().size();
    QVERIFY(client.send(readBegin(wheel)));
    QVERIFY(client.send(command(1, 0))); // not acted on either
    QVERIFY(client.quietFor(200));
    QVERIFY(wheel->waitForReceived(before + 2, 1000));
    QCOMPARE(wheel->identity(), Identity::Application);
    client.drain();
    QCOMPARE(client.nextJoystick(100).empty(), streamToo);

    wheel->setSilent(false);
    wheel->setStreamSilent(false);
    QVERIFY(!client.ask(readBegin(wheel)).empty());
    QVERIFY(!client.nextJoystick().empty());
}

void TestSimFaults::droppedAnswers_data()
{
    QTest::addColumn<int>("k");
    QTest::addColumn<QVector<int>>("answered"); // profile indices that come back
    QTest::newRow("none lost") << 0 << QVector<int>{0, 1, 2, 3, 4, 5};
    QTest::newRow("every answer") << 1 << QVector<int>{};
    QTest::newRow("every second") << 2 << QVector<int>{0, 2, 4};
    QTest::newRow("every third") << 3 << QVector<int>{0, 1, 3, 4};
}

void TestSimFaults::droppedAnswers()
{
    QFETCH(int, k);
    QFETCH(QVector<int>, answered);
    wheel->setDefaultProfileCount(6);
    SimClient client(wheel->sockPath());
    wheel->setDropEveryKthAnswer(k);
    for (uint8_t i = 0; i < 6; ++i)
        QVERIFY(client.send(command(5, 6, {{3, i}})));
    QVector<int> got;
    for (Report a = client.nextAnswer(300); !a.empty(); a = client.nextAnswer(300))
        got.append(a[3]);
    QCOMPARE(got, answered);
    // The commands themselves all arrived.
    QVERIFY(wheel->waitForReceived(6, 100));
}

void TestSimFaults::corruptedChunkEcho()
{
    std::vector<uint8_t> image(96);
    for (size_t i = 0; i < image.size(); ++i)
        image[i] = uint8_t(i * 7);
    SimClient app(wheel->sockPath());
    QVERIFY(app.send(command(1, 0)));
    QVERIFY(wheel->waitForIdentity(Identity::Bootloader, 2000));
    wheel->bootloader().setCorruptEchoOfChunk(1);
    SimClient boot(wheel->bootloader().sockPath());
    for (int i = 0; i < 3; ++i) {
        Report c(64, 0);
        c[0] = 0x64;
        c[1] = 1;
        std::copy_n(image.begin() + 32 * i, 32, c.begin() + 2);
        orvsim::putU16(&c[34], uint16_t(i));
        orvsim::putU16(&c[36], 3);
        orvsim::putU32(&c[38], crc32Words(&c[2], 32));
        const Report echo = boot.ask(c);
        QVERIFY(!echo.empty());
        // Only the echo of chunk 1 fails the tool's check.
        QCOMPARE(crc32Words(&echo[2], 32) == orvsim::getU32(&echo[38]), i != 1);
    }
    // The chunk itself arrived intact, so the image is whole.
    QCOMPARE(wheel->bootloader().keptChunks(), 3);
}

void TestSimFaults::unplugAfterReports_data()
{
    QTest::addColumn<int>("reports");
    QTest::newRow("five") << 5;
    QTest::newRow("none") << 0;
}

void TestSimFaults::unplugAfterReports()
{
    QFETCH(int, reports);
    auto client = std::make_unique<SimClient>(pedals->sockPath());
    QVERIFY(!client->nextJoystick().empty());
    // Set between reports, so none is on its way while counting starts.
    pedals->stopStreaming();
    const uint64_t before = pedals->streamedReports();
    pedals->setUnplugAfterReports(reports);
    pedals->startStreaming(200);
    QVERIFY(client->waitGone(2000));
    QVERIFY(pedals->waitForIdentity(Identity::Absent, 1000));
    QCOMPARE(pedals->streamedReports() - before, uint64_t(reports));

    // One-shot: plugged in again it streams on.
    QVERIFY(pedals->plug());
    client = std::make_unique<SimClient>(pedals->sockPath());
    QVERIFY(!client->nextJoystick().empty());
    QTest::qWait(50);
    QVERIFY(pedals->isPlugged());
}

void TestSimFaults::frameTime_data()
{
    QTest::addColumn<int>("frameUs");
    QTest::newRow("no frame") << 0;
    QTest::newRow("2 ms frames") << 2000;
}

void TestSimFaults::frameTime()
{
    QFETCH(int, frameUs);
    wheel->setFrameTime(std::chrono::microseconds(frameUs));
    QCOMPARE(wheel->bootloader().frameTime().count(), int64_t(frameUs));
    SimClient client(wheel->sockPath());
    for (int round = 0; round < 5; ++round) {
        QElapsedTimer timer;
        timer.start();
        QVERIFY(!client.ask(readBegin(wheel)).empty());
        // Taken at the next frame boundary, answered at the one after: more
        // than one frame, at most two (plus the time to get there).
        const qint64 elapsedUs = timer.nsecsElapsed() / 1000;
        QVERIFY2(elapsedUs >= frameUs, qPrintable(QString::number(elapsedUs)));
        if (frameUs > 0)
            QVERIFY2(elapsedUs < 3 * frameUs, qPrintable(QString::number(elapsedUs)));
    }
    // Commands sent together are answered in order.
    for (uint8_t i = 0; i < 3; ++i)
        QVERIFY(client.send(command(5, 6, {{3, i}})));
    for (uint8_t i = 0; i < 3; ++i) {
        const Report a = client.nextAnswer();
        QVERIFY(!a.empty());
        QCOMPARE(a[3], i);
    }
}

void TestSimFaults::shortReportIsReadAsPadded()
{
    SimClient client(wheel->sockPath());
    RawConnection raw(wheel->sockPath());
    QVERIFY(raw.isOpen());
    QVERIFY(raw.send({0x64, 3})); // read begin, the rest missing: zeros
    const Report answer = client.nextAnswer();
    QVERIFY(!answer.empty());
    QCOMPARE(answer[1], uint8_t(3));
    QCOMPARE(answer[42], uint8_t(3));
}

void TestSimFaults::malformedReports_data()
{
    QTest::addColumn<int>("target"); // 0 wheel base, 1 pedals, 2 wheel base bootloader
    QTest::addColumn<quint32>("seed");
    for (quint32 seed : {1u, 2u}) {
        QTest::addRow("wheel base %u", seed) << 0 << seed;
        QTest::addRow("pedals %u", seed) << 1 << seed;
        QTest::addRow("bootloader %u", seed) << 2 << seed;
    }
}

void TestSimFaults::malformedReports()
{
    QFETCH(int, target);
    QFETCH(quint32, seed);
    SimFirmwareDevice* owner = target == 1 ? pedals : wheel;
    if (target == 2) {
        SimClient app(wheel->sockPath());
        QVERIFY(app.send(command(1, 0)));
        QVERIFY(wheel->waitForIdentity(Identity::Bootloader, 2000));
    }
    const Identity identity = owner->identity();
    SimDevice& dev = target == 2 ? static_cast<SimDevice&>(owner->bootloader()) : *owner;

    RawConnection raw(dev.sockPath());
    QVERIFY(raw.isOpen());
    QRandomGenerator random(seed);
    size_t sent = 0;
    for (int i = 0; i < 2000; ++i) {
        Report r(random.bounded(1, 130));
        for (auto& b : r)
            b = uint8_t(random.bounded(256));
        // Most of them commands, so every handler sees garbage.
        if (random.bounded(4) != 0) {
            r[0] = 0x64;
            if (r.size() > 1)
                r[1] = uint8_t(random.bounded(17));
        }
        // Except the two that rightly change the identity.
        if (r.size() > 3 && r[0] == 0x64 && r[1] == 1 && target != 2)
            r[2] = 1;
        if (r.size() > 3 && r[0] == 0x64 && r[1] == 8 && target == 2)
            r[3] = 0;
        QVERIFY(raw.send(r));
        ++sent;
    }
    QVERIFY(dev.waitForReceived(sent, 5000));

    // Still there, still itself, still answering.
    QCOMPARE(owner->identity(), identity);
    SimClient client(dev.sockPath());
    const Report probe = target == 2 ? command(3, 2, {{42, 0}}) : readBegin(owner);
    QVERIFY(client.send(probe));
    // Answers to the last random commands may still be on their way.
    Report answer = client.nextAnswer();
    while (!answer.empty() && answer[1] != 3)
        answer = client.nextAnswer();
    QVERIFY(!answer.empty());
}

QTEST_GUILESS_MAIN(TestSimFaults)
#include "tst_simfaults.moc"
