// The simulated bootloader where the tool's own tests do not look: the checks
// that make it refuse a damaged or incomplete image, its fault knobs and the
// ways into and out of it. The normal transfers, and the knobs those tests
// set, are driven hard by the window and orvctl tests.

#include "hid/hid.h"
#include "profiles/crc32Words.h"
#include "sim/SimProtocol.h"
#include "sim/Simulator.h"
#include "support/TestBus.h"

#include <QElapsedTimer>
#include <QTest>

#include <algorithm>
#include <memory>

using orvsim::SimFirmwareDevice;
using Identity = SimFirmwareDevice::Identity;
using Report = std::vector<uint8_t>;

namespace {

// A 64-byte command report: ID 0x64, code, version byte, then the bytes given.
Report command(uint8_t code, uint8_t version,
               std::initializer_list<std::pair<size_t, uint8_t>> bytes = {})
{
    Report r(64, 0);
    r[0] = 0x64;
    r[1] = code;
    r[2] = version;
    for (const auto& b : bytes)
        r.at(b.first) = b.second;
    return r;
}

// One connection to a simulated device through the HID layer, as the tool has.
class Client
{
public:
    explicit Client(const std::string& path) : dev(hid_open_path(path.c_str()), hid_close) {}

    bool send(const Report& report)
    {
        return dev && hid_write(dev.get(), report.data(), report.size()) >= 0;
    }
    // The next report with this ID (an answer by default), others skipped;
    // empty on time-out or once the device left.
    Report next(uint8_t reportId = 0x65, int timeoutMs = 1000)
    {
        QElapsedTimer timer;
        timer.start();
        for (qint64 left = timeoutMs; dev && !lost && left >= 0;
             left = timeoutMs - timer.elapsed()) {
            Report report(64, 0);
            const int n = hid_read_timeout(dev.get(), report.data(), report.size(), int(left));
            lost = n < 0;
            if (n > 0 && report[0] == reportId)
                return report;
        }
        return {};
    }
    Report ask(const Report& report) { return send(report) ? next() : Report(); }
    bool quietFor(int ms) { return next(0x65, ms).empty() && !lost; }
    // No device sends report ID 0xEE: reads until the connection fails.
    bool gone(int timeoutMs) { return next(0xEE, timeoutMs).empty() && lost; }

private:
    std::unique_ptr<hid_device, void (*)(hid_device*)> dev;
    bool lost = false;
};

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

    void firmwareUpdate_data()
    {
        // Steps: N chunk N; bN chunk N with a bad CRC; cN chunk N whose echo is
        // damaged on the way back; tN chunk N whose tail disagrees with chunk N-1;
        // sN chunk N after which the bootloader hangs; qN chunk N left unanswered;
        // F the final command; L leave the bootloader.
        QTest::addColumn<int>("kind"); // 0 the wheel base, 1 the pedals
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
        SimFirmwareDevice* dev = kind == 0 ? wheel : pedals;
        const auto before = dev->deviceInfo();
        std::vector<uint8_t> image(5 * 32);
        for (size_t i = 0; i < image.size(); ++i)
            image[i] = uint8_t(i * 37 + 11);

        Client app(dev->sockPath());
        QVERIFY(app.send(command(1, 0)));
        // The pedals confirm the command, the wheel base just leaves.
        QCOMPARE(app.next(0x65, 2000).empty(), kind == 0);
        QVERIFY(app.gone(2000));
        QVERIFY(dev->waitForIdentity(Identity::Bootloader, 2000));
        Client boot(dev->bootloader().sockPath());
        for (const QString& step : steps.split(' ')) {
            const char op = step[0].toLatin1();
            const int n = step.right(1).toInt();
            Report sent = op == 'F'   ? command(1, 0, {{34, 5}, {36, 5}})
                          : op == 'L' ? command(8, 2, {{3, 1}})
                                      : chunk(image, n, 5);
            if (op == 'F' || op == 'L' || op == 'q') {
                QVERIFY(boot.send(sent));
                QVERIFY2(op != 'q' || boot.quietFor(100), qPrintable(step));
                continue;
            }
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
        QVERIFY(boot.gone(2000));
        QVERIFY(dev->waitForIdentity(Identity::Application, 2000));
        QVERIFY(!dev->bootloader().isPlugged());
        QCOMPARE(dev->installedUpdates(), firmwareStep);
        if (firmwareStep > 0)
            QCOMPARE(dev->installedImage(), image);
        const Report settings = Client(dev->sockPath()).ask(command(3, kind == 0 ? 6 : 4));
        QVERIFY(settings.size() == 64);
        QCOMPARE(settings[6], before.firmwareMajor);
        QCOMPARE(int(settings[7]), before.firmwareMinor + firmwareStep);
    }

private:
    TestBus bus;
    std::unique_ptr<orvsim::Simulator> sim;
    SimFirmwareDevice* wheel = nullptr;
    SimFirmwareDevice* pedals = nullptr;
};

QTEST_GUILESS_MAIN(TestSimulator)
#include "tst_simulator.moc"
