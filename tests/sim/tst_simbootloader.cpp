// The way into the bootloader and back, and the firmware transfer: the
// bootloader answers as the tool expects, keeps only what arrived intact, and
// starts an image only when it is complete.

#include "SimClient.h"
#include "profiles/crc32Words.h"
#include "sim/SimProtocol.h"
#include "sim/Simulator.h"
#include "support/TestBus.h"

#include <QRandomGenerator>
#include <QTest>

#include <memory>

using orvsim::SimBootloader;
using orvsim::SimFirmwareDevice;
using Identity = SimFirmwareDevice::Identity;
using Outcome = SimBootloader::Outcome;

namespace {

constexpr uint8_t BootloaderVersion = 2;

std::vector<uint8_t> randomImage(size_t size, quint32 seed)
{
    QRandomGenerator random(seed);
    std::vector<uint8_t> image(size);
    for (auto& b : image)
        b = uint8_t(random.bounded(256));
    return image;
}

// A chunk command as the tool builds it; the CRC comes from the tool's own
// routine, so the bootloader keeping the chunk cross-checks the two.
Report chunk(const std::vector<uint8_t>& image, int index, int count)
{
    Report r(64, 0);
    r[0] = 0x64;
    r[1] = 1;
    if (index >= 0 && size_t(index + 1) * 32 <= image.size())
        std::copy_n(image.begin() + index * 32, 32, r.begin() + 2);
    orvsim::putU16(&r[34], uint16_t(int16_t(index)));
    orvsim::putU16(&r[36], uint16_t(int16_t(count)));
    orvsim::putU32(&r[38], crc32Words(&r[2], 32));
    if (index > 0 && size_t(index) * 32 <= image.size()) {
        r[42] = 1;
        std::copy_n(image.begin() + index * 32 - 16, 16, r.begin() + 43);
    }
    return r;
}

Report finalCommand(int count)
{
    Report r(64, 0);
    r[0] = 0x64;
    r[1] = 1;
    orvsim::putU16(&r[34], uint16_t(count));
    orvsim::putU16(&r[36], uint16_t(count));
    return r;
}

} // namespace

class TestSimBootloader : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void updateRoundTrip_data();
    void updateRoundTrip();
    void leavingChangesNothing_data();
    void leavingChangesNothing();
    void factoryDefaultsFromTheBootloader();
    void transfers_data();
    void transfers();
    void crcAgreesWithTheTool_data();
    void crcAgreesWithTheTool();

private:
    SimFirmwareDevice* device(int kind) { return kind == 0 ? wheel : pedals; }
    // Sends enter-bootloader and waits until the bootloader is on the bus.
    void enterBootloader(SimFirmwareDevice* dev, bool answered);

    TestBus bus;
    std::unique_ptr<orvsim::Simulator> sim;
    SimFirmwareDevice* wheel = nullptr;
    SimFirmwareDevice* pedals = nullptr;
};

void TestSimBootloader::initTestCase()
{
    QVERIFY(bus.isValid());
    bus.useAsBackend();
    QCOMPARE(hid_init(), 0);
}

void TestSimBootloader::cleanupTestCase()
{
    hid_exit();
}

void TestSimBootloader::init()
{
    sim = std::make_unique<orvsim::Simulator>(bus.stdPath());
    wheel = sim->addWheelBase("wheel", 200);
    pedals = sim->addPedals("pedals", 200);
    QVERIFY(wheel && pedals);
    for (auto* dev : {wheel, pedals})
        dev->setRebootDelay(std::chrono::milliseconds(20));
}

void TestSimBootloader::cleanup()
{
    sim.reset();
}

void TestSimBootloader::enterBootloader(SimFirmwareDevice* dev, bool answered)
{
    SimClient app(dev->sockPath());
    QVERIFY(app.send(command(1, 0)));
    if (answered) {
        const Report answer = app.nextAnswer();
        QVERIFY(!answer.empty());
        QCOMPARE(answer[1], uint8_t(1));
    }
    QVERIFY(app.waitGone(2000));
    QVERIFY(dev->waitForIdentity(Identity::Bootloader, 2000));
}

void TestSimBootloader::updateRoundTrip_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("wheel base") << 0;
    QTest::newRow("pedals") << 1;
}

void TestSimBootloader::updateRoundTrip()
{
    QFETCH(int, kind);
    SimFirmwareDevice* dev = device(kind);
    const uint16_t productId = dev->info().productId;
    const auto before = dev->deviceInfo();
    const uint8_t version = uint8_t(dev->layout().protocolVersion);
    const size_t k = dev->layout().countByte;

    // Code 1 with another version byte is not the command.
    {
        SimClient app(dev->sockPath());
        QVERIFY(app.send(command(1, version)));
        QVERIFY(app.quietFor(100));
        QCOMPARE(dev->identity(), Identity::Application);
    }
    enterBootloader(dev, kind == 1);

    // Same product, another path, a product string the tool tells apart.
    hid_device_info* list = hid_enumerate(0x0483, productId);
    int bootloaders = 0;
    for (hid_device_info* d = list; d; d = d->next) {
        QVERIFY(std::string(d->path) != dev->sockPath());
        if (std::string(d->path) == dev->bootloader().sockPath()) {
            QVERIFY(QString::fromWCharArray(d->product_string).contains("Bootloader"));
            ++bootloaders;
        }
    }
    hid_free_enumeration(list);
    QCOMPARE(bootloaders, 1);

    SimClient boot(dev->bootloader().sockPath());
    const Report info = boot.ask(command(3, BootloaderVersion, {{42, 0}}));
    QVERIFY(!info.empty());
    QCOMPARE(info[1], uint8_t(3));
    QCOMPARE(info[2], BootloaderVersion);
    const auto infoBytes = dev->bootloader().deviceInfo().bytes();
    QVERIFY(std::equal(infoBytes.begin(), infoBytes.end(), info.begin() + 3));

    // A 100-byte image travels as four chunks, the last padded with zeros.
    std::vector<uint8_t> image = randomImage(100, 7);
    image.resize(128, 0);
    for (int i = 0; i < 4; ++i) {
        const Report sent = chunk(image, i, 4);
        const Report echo = boot.ask(sent);
        QVERIFY(!echo.empty());
        QVERIFY(std::equal(sent.begin() + 1, sent.end(), echo.begin() + 1));
        QCOMPARE(crc32Words(&echo[2], 32), orvsim::getU32(&echo[38]));
    }
    QVERIFY(boot.send(finalCommand(4)));
    QVERIFY(boot.waitGone(2000));
    QVERIFY(dev->waitForIdentity(Identity::Application, 2000));
    QCOMPARE(dev->installedImage(), image);
    QCOMPARE(dev->installedUpdates(), 1);

    SimClient app(dev->sockPath());
    const Report settings = app.ask(command(3, version, {{k, 0}}));
    QVERIFY(!settings.empty());
    QCOMPARE(settings[2], version);
    QCOMPARE(settings[6], before.firmwareMajor);
    QCOMPARE(settings[7], uint8_t(before.firmwareMinor + 1));
    QCOMPARE(settings[4], before.hardwareMajor);
}

void TestSimBootloader::leavingChangesNothing_data()
{
    updateRoundTrip_data();
}

void TestSimBootloader::leavingChangesNothing()
{
    QFETCH(int, kind);
    SimFirmwareDevice* dev = device(kind);
    const auto before = dev->deviceInfo().bytes();
    const uint64_t changes = dev->identityChanges();
    enterBootloader(dev, kind == 1);
    SimClient boot(dev->bootloader().sockPath());
    QVERIFY(boot.send(command(8, BootloaderVersion, {{3, 1}})));
    QVERIFY(boot.waitGone(2000));
    QVERIFY(dev->waitForIdentity(Identity::Application, 2000));
    // Gone, bootloader, gone, back.
    QCOMPARE(dev->identityChanges(), changes + 4);
    QCOMPARE(dev->deviceInfo().bytes(), before);
    QCOMPARE(dev->installedUpdates(), 0);
    QVERIFY(!dev->bootloader().isPlugged());
}

void TestSimBootloader::factoryDefaultsFromTheBootloader()
{
    auto list = wheel->profiles();
    list.records.resize(1);
    QVERIFY(wheel->setProfiles(list));
    enterBootloader(wheel, false);
    SimClient boot(wheel->bootloader().sockPath());
    QVERIFY(boot.send(command(8, BootloaderVersion, {{5, 1}})));
    QVERIFY(boot.quietFor(100));
    QCOMPARE(wheel->identity(), Identity::Bootloader);
    QCOMPARE(wheel->storedProfiles().count(), size_t(3));
}

void TestSimBootloader::transfers_data()
{
    // Steps: N chunk N; bN chunk N with a bad CRC; tN chunk N whose tail
    // disagrees with chunk N-1; xN index N of count 5; nN chunk N announcing
    // 7 chunks; F final; Z final with a stray byte; E final of an empty image.
    QTest::addColumn<QString>("steps");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<int>("kept");

    const int installed = int(Outcome::Installed);
    const int incomplete = int(Outcome::Incomplete);
    QTest::newRow("in order") << "0 1 2 3 4 F" << installed << 5;
    QTest::newRow("repeated chunks") << "0 1 1 2 3 3 4 4 F" << installed << 5;
    QTest::newRow("out of range ignored") << "0 1 x9 x-3 2 3 4 F" << installed << 5;
    QTest::newRow("bad crc resent") << "0 1 b2 2 3 4 F" << installed << 5;
    QTest::newRow("started over") << "0 1 2 0 1 2 3 4 F" << installed << 5;
    QTest::newRow("bad crc") << "0 1 b2 3 4 F" << incomplete << 4;
    QTest::newRow("chunk missing") << "0 1 3 4 F" << incomplete << 4;
    QTest::newRow("other count") << "0 1 n2 3 4 F" << incomplete << 4;
    QTest::newRow("tail disagrees") << "0 1 2 t3 4 F" << incomplete << 4;
    QTest::newRow("final too early") << "0 1 2 F" << incomplete << 3;
    QTest::newRow("final with a stray byte") << "0 1 2 3 4 Z" << int(Outcome::None) << 5;
    QTest::newRow("empty image") << "E" << int(Outcome::Empty) << 0;
}

void TestSimBootloader::transfers()
{
    QFETCH(QString, steps);
    QFETCH(int, outcome);
    QFETCH(int, kept);
    const std::vector<uint8_t> image = randomImage(5 * 32, 11);
    enterBootloader(wheel, false);
    SimClient boot(wheel->bootloader().sockPath());
    for (const QString& step : steps.split(' ')) {
        const QChar kind = step[0];
        const int n = step.mid(kind.isDigit() ? 0 : 1).toInt();
        Report sent;
        if (kind == 'F' || kind == 'Z' || kind == 'E') {
            sent = finalCommand(kind == 'E' ? 0 : 5);
            if (kind == 'Z')
                sent[50] = 1;
            QVERIFY(boot.send(sent));
            continue;
        }
        sent = chunk(image, n, kind == 'n' ? 7 : 5);
        if (kind == 'b')
            sent[38] ^= 0x01;
        if (kind == 't')
            sent[43] ^= 0x80;
        const Report echo = boot.ask(sent);
        QVERIFY2(!echo.empty(), qPrintable(step));
        QVERIFY2(std::equal(sent.begin() + 1, sent.end(), echo.begin() + 1), qPrintable(step));
    }
    if (outcome == int(Outcome::Installed)) {
        QVERIFY(wheel->waitForIdentity(Identity::Application, 2000));
        QCOMPARE(wheel->installedImage(), image);
    } else {
        // Nothing started: the device stays in the bootloader.
        QVERIFY(boot.quietFor(100));
        QCOMPARE(wheel->identity(), Identity::Bootloader);
        QCOMPARE(wheel->installedUpdates(), 0);
    }
    QCOMPARE(int(wheel->bootloader().lastOutcome()), outcome);
    QCOMPARE(wheel->bootloader().keptChunks(), kept);
}

void TestSimBootloader::crcAgreesWithTheTool_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<quint32>("seed");
    for (int size : {0, 3, 4, 5, 32, 33, 64, 1000})
        QTest::addRow("%d bytes", size) << size << quint32(size + 1);
}

void TestSimBootloader::crcAgreesWithTheTool()
{
    QFETCH(int, size);
    QFETCH(quint32, seed);
    const std::vector<uint8_t> data = randomImage(size_t(size), seed);
    QCOMPARE(orvsim::wordCrc32(data.data(), data.size()), crc32Words(data.data(), data.size()));
}

QTEST_GUILESS_MAIN(TestSimBootloader)
#include "tst_simbootloader.moc"
