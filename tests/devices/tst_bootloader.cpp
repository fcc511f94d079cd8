// The bootloader: its one-shot commands, the chunked firmware transfer (data,
// padding, tails, CRC, progress), and how it stands up to silent devices and
// to stray, late, malformed or re-entrant reports.

#include "devices/UsbDeviceOrvBootloader.h"
#include "profiles/crc32Words.h"
#include "sim/VhidEndpoint.h"
#include "support/TestBus.h"
#include "usb/UsbManager.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

Q_DECLARE_METATYPE(UsbDevice*)

namespace {

using Report = std::vector<uint8_t>;

// Records what the object hands to the HID layer, at the moment it does so.
class ProbeBootloader : public UsbDeviceOrvBootloader
{
public:
    using UsbDeviceOrvBootloader::UsbDeviceOrvBootloader;
    bool retrying() const { return retryTimer.isActive(); }

    std::vector<Report> sent;

protected:
    void sendReport(const uint8_t* data, bool expectReply) override
    {
        sent.emplace_back(data, data + OrvUsbReport::Size);
        UsbDeviceOrvBootloader::sendReport(data, expectReply);
    }
};

// Output reports as the device received them, with their arrival times.
struct Wire
{
    void add(const Report& r)
    {
        std::lock_guard<std::mutex> guard(mutex);
        reports.push_back(r);
        times.push_back(clock.elapsed());
    }
    std::vector<Report> received()
    {
        std::lock_guard<std::mutex> guard(mutex);
        return reports;
    }
    qint64 gap(size_t i)
    {
        std::lock_guard<std::mutex> guard(mutex);
        return times.at(i) - times.at(i - 1);
    }
    size_t count() { return received().size(); }

    std::mutex mutex;
    std::vector<Report> reports;
    std::vector<qint64> times;
    QElapsedTimer clock;
};

// No zero bytes, so padding shows.
QByteArray pattern(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char(1 + (i * 7) % 251);
    return bytes;
}

QByteArray padded(const QByteArray& image)
{
    return image + QByteArray((32 - image.size() % 32) % 32, '\0');
}

void putLe16(Report& r, int offset, int value)
{
    r[offset] = uint8_t(value & 0xFF);
    r[offset + 1] = uint8_t((value >> 8) & 0xFF);
}

// The chunk command composed field by field, independently of the class.
Report expectedChunk(const QByteArray& paddedImage, int i)
{
    const int n = paddedImage.size() / 32;
    Report r(64, 0);
    r[0] = 0x64;
    r[1] = 1;
    std::memcpy(&r[2], paddedImage.constData() + 32 * i, 32);
    putLe16(r, 34, i);
    putLe16(r, 36, n);
    const uint32_t crc = crc32Words(&r[2], 32);
    for (int b = 0; b < 4; ++b)
        r[38 + b] = uint8_t(crc >> (8 * b));
    if (i > 0) {
        r[42] = 1;
        std::memcpy(&r[43], paddedImage.constData() + 32 * i - 16, 16);
    }
    return r;
}

Report closingCommand(int n)
{
    Report r(64, 0);
    r[0] = 0x64;
    r[1] = 1;
    putLe16(r, 34, n);
    putLe16(r, 36, n);
    return r;
}

// The device sends a chunk command back as it received it.
OrvUsbReport echoOf(const Report& command, uint8_t reportId = 0x65)
{
    OrvUsbReport report{};
    std::memcpy(report.data, command.data(), 64);
    report.data[0] = reportId;
    return report;
}

// Answers the last command sent, times over, as an intact echo.
void echoBack(ProbeBootloader& device, int times)
{
    for (int i = 0; i < times; ++i) {
        OrvUsbReport echo = echoOf(device.sent.back());
        device.handleReport(&echo, 0);
    }
}

} // namespace

class TestBootloader : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void commandBytes_data();
    void commandBytes();
    void deviceInformationIsStored();
    void transfer_data();
    void transfer();
    void badEchoStopsTheUpdate_data();
    void badEchoStopsTheUpdate();
    void echoNamingNoChunkIsIgnored_data();
    void echoNamingNoChunkIsIgnored();
    void imageSizeLimit_data();
    void imageSizeLimit();
    void silentDeviceGetsTheSameChunkEvery600ms();
    void reportHandledDuringProgressIsNotSentTwice();
    void garbageReportsSendOnlyPartsOfTheImage();
    void imageThroughARespondingDevice();

private:
    void spyOn(UsbDeviceOrvBootloader* d);

    TestBus bus;
    std::unique_ptr<orvsim::VhidEndpoint> endpoint;
    std::unique_ptr<ProbeBootloader> device;
    Wire wire;
    std::unique_ptr<QSignalSpy> started, progress, completed, failed, loaded;
};

void TestBootloader::initTestCase()
{
    qRegisterMetaType<UsbDevice*>();
    QVERIFY(bus.isValid());
    bus.useAsBackend();
    QCOMPARE(hid_init(), 0);
}

void TestBootloader::init()
{
    wire.reports.clear();
    wire.times.clear();
    wire.clock.start();
    endpoint = std::make_unique<orvsim::VhidEndpoint>(
        bus.stdPath(), "boot", testDeviceInfo(0xA355, "ORV Torvane Pro Bootloader"));
    endpoint->setReceiver([this](const Report& r) { wire.add(r); });
    QVERIFY(endpoint->plug());
    hid_device* handle = hid_open_path(endpoint->sockPath().c_str());
    QVERIFY(handle);
    device =
        std::make_unique<ProbeBootloader>(QString::fromStdString(endpoint->sockPath()), handle);
    spyOn(device.get());
}

void TestBootloader::cleanup()
{
    device.reset();
    endpoint.reset();
}

void TestBootloader::spyOn(UsbDeviceOrvBootloader* d)
{
    using B = UsbDeviceOrvBootloader;
    started = std::make_unique<QSignalSpy>(d, &B::onFirmwareUpdateStarted);
    progress = std::make_unique<QSignalSpy>(d, &B::onFirmwareUpdateProgress);
    completed = std::make_unique<QSignalSpy>(d, &B::onUpdateCompleted);
    failed = std::make_unique<QSignalSpy>(d, &B::onUpdateFailed);
    loaded = std::make_unique<QSignalSpy>(d, &B::onSettingsLoaded);
}

void TestBootloader::commandBytes_data()
{
    QTest::addColumn<QByteArray>("slot");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<bool>("expectsReply");

    auto command = [](char code, int byte, char value) {
        QByteArray r(64, '\0');
        r[0] = 0x64;
        r[1] = code;
        r[2] = 2;
        r[byte] = value;
        return r;
    };
    QTest::newRow("read device information")
        << QByteArray("loadSettings") << command(3, 42, 0) << true;
    QTest::newRow("leave the bootloader")
        << QByteArray("exitBootloader") << command(8, 3, 1) << false;
    QTest::newRow("factory defaults")
        << QByteArray("resetToFactoryDefaults") << command(8, 5, 1) << false;
}

void TestBootloader::commandBytes()
{
    QFETCH(QByteArray, slot);
    QFETCH(QByteArray, expected);
    QFETCH(bool, expectsReply);

    QVERIFY(QMetaObject::invokeMethod(device.get(), slot.constData(), Qt::DirectConnection));
    QVERIFY(waitUntil([&] { return wire.count() == 1; }, 2000));
    const Report got = wire.received().at(0);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(got.data()), int(got.size())), expected);
    QCOMPARE(device->retrying(), expectsReply);
}

void TestBootloader::deviceInformationIsStored()
{
    device->loadSettings();
    OrvUsbReport answer{};
    answer.data[0] = 0x65;
    answer.data[1] = 3;
    answer.data[2] = 9; // not the bootloader's version: it is not compared
    for (int i = 3; i <= 10; ++i)
        answer.data[i] = uint8_t(10 * i);
    device->handleReport(&answer, 0);

    QCOMPARE(loaded->count(), 1);
    QCOMPARE(loaded->at(0).at(0).value<UsbDevice*>(), device.get());
    QCOMPARE(device->deviceInfo.reserved0, uint8_t(30));
    QCOMPARE(device->deviceInfo.hardwareVersion(), QString("40.50"));
    QCOMPARE(device->deviceInfo.firmwareVersion(), QString("60.70"));
    QCOMPARE(device->deviceInfo.reserved6, uint8_t(90));
    QVERIFY(!device->retrying());
}

void TestBootloader::transfer_data()
{
    QTest::addColumn<int>("size");
    for (int size : {0, 1, 31, 32, 33, 64, 100})
        QTest::addRow("%d bytes", size) << size;
}

void TestBootloader::transfer()
{
    QFETCH(int, size);
    const QByteArray image = pattern(size);
    const QByteArray full = padded(image);
    const int n = full.size() / 32;

    device->updateFirmware(image);
    for (int i = 0; i < n; ++i) {
        QCOMPARE(device->sent.size(), size_t(i + 1));
        QCOMPARE(device->sent.back(), expectedChunk(full, i));
        QVERIFY(device->retrying());
        echoBack(*device, 1);
    }
    QCOMPARE(device->sent.size(), size_t(n + 1));
    QCOMPARE(device->sent.back(), closingCommand(n));
    QVERIFY(!device->retrying());
    QCOMPARE(device->firmware, full);

    QCOMPARE(started->count(), 1);
    QCOMPARE(started->at(0).at(0).toInt(), n);
    QCOMPARE(progress->count(), n + 1);
    for (int i = 0; i <= n; ++i)
        QCOMPARE(progress->at(i), QVariantList({i, n}));
    QCOMPARE(completed->count(), 1);
    QCOMPARE(completed->at(0).at(0).value<UsbDevice*>(), device.get());
    QCOMPARE(failed->count(), 0);

    // And the device received exactly that.
    QVERIFY(waitUntil([&] { return wire.count() == size_t(n + 1); }, 2000));
    QCOMPARE(wire.received(), device->sent);
}

void TestBootloader::badEchoStopsTheUpdate_data()
{
    QTest::addColumn<int>("reportId");
    QTest::addColumn<int>("flippedByte");

    QTest::newRow("flipped data bit") << 0x65 << 9;
    QTest::newRow("flipped CRC bit") << 0x65 << 40;
    // Such a report does not stop the resend by itself.
    QTest::newRow("under the joystick report ID") << 0x01 << 33;
}

void TestBootloader::badEchoStopsTheUpdate()
{
    QFETCH(int, reportId);
    QFETCH(int, flippedByte);

    device->updateFirmware(pattern(320)); // 10 chunks
    echoBack(*device, 5);
    const Report chunk5 = device->sent.back();
    OrvUsbReport bad = echoOf(chunk5, uint8_t(reportId));
    bad.data[flippedByte] ^= 0x10;
    device->handleReport(&bad, 0);

    QCOMPARE(failed->count(), 1);
    QCOMPARE(failed->at(0).at(0).value<UsbDevice*>(), device.get());
    QCOMPARE(failed->at(0).at(1).toString(), QString("CRC failed on chunk 5 of 10"));
    QVERIFY(!device->retrying());
    QCOMPARE(device->firmware, pattern(320));

    // The update is over: a late intact echo does not revive it.
    OrvUsbReport late = echoOf(chunk5);
    device->handleReport(&late, 0);
    QTest::qWait(700);
    QCOMPARE(device->sent.size(), size_t(6));
    QCOMPARE(progress->count(), 6);
    QCOMPARE(completed->count(), 0);
}

void TestBootloader::echoNamingNoChunkIsIgnored_data()
{
    QTest::addColumn<int>("echoedBefore"); // -1: no update started
    QTest::addColumn<int>("index");

    QTest::newRow("index -1") << 2 << -1;
    QTest::newRow("index = count") << 2 << 10;
    QTest::newRow("largest index") << 2 << 32767;
    QTest::newRow("most negative index") << 2 << -32768;
    QTest::newRow("before any update") << -1 << 0;
    QTest::newRow("last chunk again after completion") << 10 << 9;
}

void TestBootloader::echoNamingNoChunkIsIgnored()
{
    QFETCH(int, echoedBefore);
    QFETCH(int, index);

    const QByteArray image = pattern(320);
    if (echoedBefore >= 0) {
        device->updateFirmware(image);
        echoBack(*device, echoedBefore);
    }
    const bool running = echoedBefore >= 0 && echoedBefore < 10;
    const size_t sentBefore = device->sent.size();
    const int progressBefore = progress->count();
    const int completedBefore = completed->count();

    // An intact echo (its CRC holds) naming the index under test.
    Report stray = expectedChunk(image, 2);
    putLe16(stray, 34, index);
    OrvUsbReport echo = echoOf(stray);
    device->handleReport(&echo, 0);

    QCOMPARE(device->sent.size(), sentBefore);
    QCOMPARE(progress->count(), progressBefore);
    QCOMPARE(completed->count(), completedBefore);
    QCOMPARE(failed->count(), 0);
    // It answers nothing: the outstanding chunk is still resent, and the
    // update goes on when the real echo comes.
    QCOMPARE(device->retrying(), running);
    if (running) {
        echoBack(*device, 1);
        QCOMPARE(device->sent.back(), expectedChunk(image, echoedBefore + 1));
    }
}

void TestBootloader::imageSizeLimit_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("refused");

    QTest::newRow("32767 chunks") << 32767 * 32 << false;
    QTest::newRow("one byte more") << 32767 * 32 + 1 << true;
    QTest::newRow("32768 chunks") << 32768 * 32 << true;
}

void TestBootloader::imageSizeLimit()
{
    QFETCH(int, size);
    QFETCH(bool, refused);

    device->updateFirmware(QByteArray(size, 'Z'));
    if (!refused) {
        QCOMPARE(failed->count(), 0);
        QCOMPARE(started->at(0).at(0).toInt(), 32767);
        QCOMPARE(device->sent.size(), size_t(1));
        QCOMPARE(device->sent[0][36], uint8_t(0xFF));
        QCOMPARE(device->sent[0][37], uint8_t(0x7F));
        return;
    }
    QCOMPARE(failed->count(), 1);
    QCOMPARE(failed->at(0).at(1).toString(),
             QString("Firmware image too large: %1 bytes; at most 1048544 bytes can be written.")
                 .arg(size));
    QCOMPARE(started->count(), 0);
    QCOMPARE(progress->count(), 0);
    QVERIFY(device->sent.empty());
    QVERIFY(!device->retrying());
    QTest::qWait(100);
    QCOMPARE(wire.count(), size_t(0));
}

void TestBootloader::silentDeviceGetsTheSameChunkEvery600ms()
{
    const QByteArray image = pattern(64);
    device->updateFirmware(image);
    QVERIFY(waitUntil([&] { return wire.count() >= 4; }, 3000));
    for (const Report& r : wire.received())
        QCOMPARE(r, expectedChunk(image, 0));
    // About 600 ms apart (wide windows: timers are real).
    for (size_t i = 1; i < 4; ++i)
        QVERIFY2(wire.gap(i) >= 550 && wire.gap(i) < 1200,
                 qPrintable(QString::number(wire.gap(i))));
    QCOMPARE(progress->count(), 1);

    echoBack(*device, 1);
    QCOMPARE(device->sent.back(), expectedChunk(image, 1));
}

void TestBootloader::reportHandledDuringProgressIsNotSentTwice()
{
    // A modal progress dialog runs the event loop while it takes the value,
    // and the device may echo a resent chunk a second time meanwhile.
    const QByteArray image = pattern(64);
    bool nested = false;
    connect(device.get(), &UsbDeviceOrvBootloader::onFirmwareUpdateProgress, this,
            [&](int current, int) {
                if (current == 0 || nested)
                    return;
                nested = true;
                OrvUsbReport again = echoOf(expectedChunk(image, current - 1));
                device->handleReport(&again, 0);
                nested = false;
            });

    device->updateFirmware(image);
    echoBack(*device, 2);
    const std::vector<Report> expected = {expectedChunk(image, 0), expectedChunk(image, 1),
                                          closingCommand(2)};
    QCOMPARE(device->sent, expected);
    QCOMPARE(completed->count(), 1);
}

void TestBootloader::garbageReportsSendOnlyPartsOfTheImage()
{
    QRandomGenerator random(20240611);
    QByteArray image;
    int n = 0;
    auto restart = [&] {
        image = padded(pattern(random.bounded(0, 400)));
        n = image.size() / 32;
        completed->clear();
        failed->clear();
        device->updateFirmware(image);
    };
    restart();

    for (int round = 0; round < 20000; ++round) {
        OrvUsbReport report{};
        for (auto& byte : report.data)
            byte = uint8_t(random.bounded(256));
        const uint8_t ids[] = {0x01, 0x65, report.data[0]};
        const uint8_t codes[] = {1, 1, 3, report.data[1]};
        report.data[0] = ids[random.bounded(3)];
        report.data[1] = codes[random.bounded(4)];
        if (random.bounded(2) && n > 0) {
            // An intact echo naming a chunk in the image or just outside it.
            Report chunk = expectedChunk(image, random.bounded(n));
            putLe16(chunk, 34, random.bounded(-2, n + 2));
            std::memcpy(report.data + 2, chunk.data() + 2, 62);
        }

        const size_t before = device->sent.size();
        device->handleReport(&report, 0);
        for (size_t s = before; s < device->sent.size(); ++s) {
            const Report& got = device->sent[s];
            const int index = got[34] | got[35] << 8;
            QVERIFY2(index >= 0 && index <= n, qPrintable(QString::number(index)));
            QCOMPARE(got, index == n ? closingCommand(n) : expectedChunk(image, index));
        }
        for (const auto& args : *progress)
            QVERIFY(args.at(0).toInt() >= 0 && args.at(0).toInt() <= n);
        progress->clear();
        if (completed->count() + failed->count() > 0)
            restart();
    }
}

void TestBootloader::imageThroughARespondingDevice()
{
    // The manager finds the bootloader on the bus; this test plays it.
    device.reset();
    endpoint->unplug();

    Wire received;
    orvsim::VhidEndpoint fake(bus.stdPath(), "fw",
                              testDeviceInfo(0xA3BE, "ORV Torvane Pro Bootloader"));
    fake.setReceiver([&](const Report& r) {
        received.add(r);
        if (r.size() == 64 && r[1] == 1 && !(r[34] == r[36] && r[35] == r[37])) {
            Report echo = r;
            echo[0] = 0x65;
            fake.send(echo.data(), echo.size());
        }
    });
    QVERIFY(fake.plug());

    UsbManager manager;
    QPointer<UsbDeviceOrvBootloader> bootloader;
    connect(&manager, &UsbManager::onDeviceConnected, this,
            [&](UsbDevice* d) { bootloader = qobject_cast<UsbDeviceOrvBootloader*>(d); });
    manager.start(false);
    QVERIFY(waitUntil([&] { return bootloader && fake.connectionCount() == 1; }, 5000));
    spyOn(bootloader.data());

    QByteArray image(100 * 1024, '\0');
    for (auto& byte : image)
        byte = char(QRandomGenerator::global()->bounded(256));
    const int n = image.size() / 32;
    bootloader->updateFirmware(image);
    QVERIFY(waitUntil([&] { return completed->count() == 1; }, 60000));
    QCOMPARE(failed->count(), 0);
    QCOMPARE(progress->last(), QVariantList({n, n}));

    // Every chunk in order; a chunk comes twice in a row only when resent.
    QVERIFY(waitUntil([&] { return received.count() >= size_t(n + 1); }, 2000));
    const std::vector<Report> got = received.received();
    QByteArray reassembled;
    for (size_t i = 0; i + 1 < got.size(); ++i) {
        if (i > 0 && got[i] == got[i - 1])
            continue;
        QCOMPARE(got[i], expectedChunk(image, reassembled.size() / 32));
        reassembled.append(reinterpret_cast<const char*>(&got[i][2]), 32);
    }
    QCOMPARE(got.back(), closingCommand(n));
    QCOMPARE(reassembled, image);
}

QTEST_GUILESS_MAIN(TestBootloader)
#include "tst_bootloader.moc"
