// The bootloader: its one-shot commands and the resend every device shares,
// the chunked firmware transfer, and how it stands up to stray or damaged
// echoes (random ones are the fuzzer's).

#include "devices/UsbDeviceOrvBootloader.h"
#include "profiles/crc32Words.h"
#include "support/FakeDevice.h"
#include "support/TestBus.h"

#include <QSignalSpy>
#include <QTest>
#include <QtEndian>

#include <climits>
#include <cstring>
#include <memory>

namespace {

// Records every report handed to the HID layer, resends included.
class ProbeBootloader : public UsbDeviceOrvBootloader
{
public:
    using UsbDeviceOrvBootloader::UsbDeviceOrvBootloader;

    // The device sends a report back under the given report ID.
    void echo(QByteArray report, int id = 0x65)
    {
        report[0] = char(id);
        handleReport(reinterpret_cast<OrvUsbReport*>(report.data()), 0);
    }

    QList<QByteArray> sent;

protected:
    void sendReport(const uint8_t* data, bool expectReply) override
    {
        sent << QByteArray(reinterpret_cast<const char*>(data), OrvUsbReport::Size);
        UsbDeviceOrvBootloader::sendReport(data, expectReply);
    }
};

// No zero bytes, so padding shows; a prime period, so no two chunks match.
QByteArray pattern(int size)
{
    return QByteArray("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ012345678")
        .repeated(size / 61 + 1)
        .left(size);
}

// Chunk i of the image composed field by field, independently of the class,
// naming itself by index `named`; i == chunk count gives the closing command.
QByteArray expectedChunk(const QByteArray& image, int i, int named = INT_MIN)
{
    const int n = (image.size() + 31) / 32;
    char r[64] = {0x64, 1};
    std::memcpy(r + 2, image.mid(32 * i, 32).leftJustified(32, '\0').constData(), 32);
    qToLittleEndian<qint16>(qint16(named == INT_MIN ? i : named), r + 34);
    qToLittleEndian<qint16>(qint16(n), r + 36);
    if (i < n) // the closing command has no CRC
        qToLittleEndian<quint32>(crc32Words(r + 2, 32), r + 38);
    if (0 < i && i < n) { // flag, then the last 16 bytes of the previous chunk
        r[42] = 1;
        std::memcpy(r + 43, image.constData() + 32 * i - 16, 16);
    }
    return QByteArray(r, 64);
}

} // namespace

class TestBootloader : public QObject
{
    Q_OBJECT

    TestBus bus;
    FakeDevice fake{bus.stdPath(), "boot", testDeviceInfo(0xA355, "ORV Torvane Pro Bootloader")};
    std::unique_ptr<ProbeBootloader> device;
    std::unique_ptr<QSignalSpy> progress, completed, failed;

private slots:
    void initTestCase()
    {
        bus.useAsBackend();
        QCOMPARE(hid_init(), 0);
    }

    void init()
    {
        QVERIFY(fake.plug());
        device = std::make_unique<ProbeBootloader>(fake.path(), fake.open());
        using B = UsbDeviceOrvBootloader;
        progress = std::make_unique<QSignalSpy>(device.get(), &B::onFirmwareUpdateProgress);
        completed = std::make_unique<QSignalSpy>(device.get(), &B::onUpdateCompleted);
        failed = std::make_unique<QSignalSpy>(device.get(), &B::onUpdateFailed);
        fake.clear();
    }
    void cleanup()
    {
        device.reset();
        fake.unplug();
    }

    // Any report but a joystick update answers a command that expects one;
    // a write that failed is tried again even when no answer is expected.
    void commandsAndTheirResend_data()
    {
        QTest::addColumn<QString>("slot");
        QTest::addColumn<int>("answer"); // its report ID; 0 none, -1 unplugged first
        QTest::addColumn<bool>("resending");
        QTest::addColumn<QString>("sent"); // the rest of the 64 bytes is zero
        QTest::newRow("load") << "loadSettings" << 0 << true << "640302";
        QTest::newRow("load, joystick update") << "loadSettings" << 1 << true << "640302";
        QTest::newRow("load, answered") << "loadSettings" << 0x65 << false << "640302";
        QTest::newRow("exit") << "exitBootloader" << 0 << false << "64080201";
        QTest::newRow("exit, write failed") << "exitBootloader" << -1 << true << "64080201";
    }
    void commandsAndTheirResend()
    {
        QFETCH(QString, slot);
        QFETCH(int, answer);
        QFETCH(bool, resending);
        QFETCH(QString, sent);
        if (answer < 0)
            fake.unplug();
        QVERIFY(QMetaObject::invokeMethod(device.get(), qPrintable(slot)));
        QCOMPARE(device->sent,
                 QList<QByteArray>{QByteArray::fromHex(sent.toLatin1()).leftJustified(64, 0)});
        if (answer > 0)
            device->echo(QByteArray(64, 9), answer); // an answer to another command
        QCOMPARE(device->awaitingAnswer(), resending);
    }

    // Each round's clock starts before the send, so no resend may show
    // sooner than 600 ms on it (a coarse timer often comes a few ms early).
    void silentDeviceGetsTheCommandEvery600ms()
    {
        for (size_t round = 1; round <= 4; ++round) {
            fake.clear();
            device->loadSettings();
            QVERIFY(fake.waitFor(round == 4 ? 3 : 2, 2000));
            QCOMPARE(fake.received(), std::vector<FakeDevice::Report>(fake.count(), fake.at(0)));
            const qint64 resent = fake.timeAt(1);
            QVERIFY2(resent >= 600 && resent < 1200, qPrintable(QString::number(resent)));
        }
    }

    void laterCommandReplacesTheResentOne()
    {
        device->loadSettings();
        device->updateFirmware(pattern(32));
        QVERIFY(waitUntil([&] { return device->sent.size() == 3; }, 2000));
        const QByteArray chunk = expectedChunk(pattern(32), 0);
        QCOMPARE(device->sent.mid(1), (QList<QByteArray>{chunk, chunk}));
    }

    void transfer_data()
    {
        QTest::addColumn<int>("size");
        for (int size : {0, 33, 64, 100})
            QTest::addRow("%d bytes", size) << size;
    }
    // Each chunk goes out only once its predecessor came back intact.
    void transfer()
    {
        QFETCH(int, size);
        const QByteArray image = pattern(size);
        const int n = (size + 31) / 32;
        device->updateFirmware(image);
        for (int i = 0; i <= n; ++i) {
            QCOMPARE(device->sent.size(), i + 1);
            QCOMPARE(device->sent.last(), expectedChunk(image, i));
            QCOMPARE(progress->value(i), QVariantList({i, n}));
            QCOMPARE(device->awaitingAnswer(), i < n); // a chunk goes again to a silent device
            // The closing command's echo names no chunk and changes nothing.
            device->echo(device->sent.last());
        }
        QCOMPARE(progress->count(), n + 1);
        QCOMPARE(completed->count(), 1);
        QVERIFY(!device->awaitingAnswer());
    }

    void echoNotMovingOn_data()
    {
        QTest::addColumn<int>("echoed"); // chunks echoed intact before
        QTest::addColumn<int>("reportId");
        QTest::addColumn<int>("flipped"); // byte 63 is in no field
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("fails");
        QTest::newRow("flipped CRC bit") << 5 << 0x65 << 40 << 5 << true;
        // A joystick report ID does not stop the resend by itself.
        QTest::newRow("flipped data bit, joystick ID") << 5 << 0x01 << 33 << 5 << true;
        QTest::newRow("index = count") << 5 << 0x65 << 63 << 10 << false;
        QTest::newRow("after completion") << 10 << 0x65 << 63 << 9 << false;
    }
    // A damaged echo ends the update for good. An intact one naming no chunk
    // of the update is not followed, yet stops the resend as any answer does.
    void echoNotMovingOn()
    {
        QFETCH(int, echoed);
        QFETCH(int, reportId);
        QFETCH(int, flipped);
        QFETCH(int, index);
        QFETCH(bool, fails);
        device->updateFirmware(pattern(320));
        for (int i = 0; i < echoed; ++i)
            device->echo(device->sent.last());
        const int sent = device->sent.size();
        QByteArray echo = expectedChunk(pattern(320), 5, index);
        echo.data()[flipped] ^= 0x10;
        device->echo(echo, reportId);
        QCOMPARE(device->sent.size(), sent);
        QVERIFY(!device->awaitingAnswer());
        QCOMPARE(failed->count(), int(fails));
        if (!fails)
            return;
        QCOMPARE(failed->at(0).at(1).toString(), QString("CRC failed on chunk 5 of 10"));
        device->echo(expectedChunk(pattern(320), 5));
        QTest::qWait(700);
        QCOMPARE(device->sent.size(), sent);
    }

    // Echoes that come late: of an update a new image replaced, or a second
    // echo of a chunk sent twice. Following them sends chunks out of turn,
    // and the closing command before the device has them all.
    void lateEchoesNotFollowed_data()
    {
        QTest::addColumn<bool>("replaced");
        QTest::addColumn<int>("index");
        QTest::newRow("replaced update, chunk 0") << true << 0;
        QTest::newRow("chunk echoed twice") << false << 2;
    }
    void lateEchoesNotFollowed()
    {
        QFETCH(bool, replaced);
        QFETCH(int, index);
        const QByteArray first = pattern(320);
        device->updateFirmware(first);
        for (int i = 0; i < 3; ++i)
            device->echo(device->sent.last());
        if (replaced)
            device->updateFirmware(pattern(330).mid(10));
        const int sent = device->sent.size();
        device->echo(expectedChunk(first, index));
        QCOMPARE(device->sent.size(), sent);
        QCOMPARE(failed->count(), 0);
        device->echo(device->sent.last());
        QCOMPARE(device->sent.size(), sent + 1);
    }

    // 32767 chunks is all the 16-bit signed count can say.
    void overLimitImageIsRefusedBeforeSending()
    {
        device->updateFirmware(QByteArray(32767 * 32 + 1, 'Z'));
        QCOMPARE(failed->value(0).value(1).toString(),
                 QString("Firmware image too large: 1048545 bytes; at most 1048544 bytes can be "
                         "written."));
        QVERIFY(device->sent.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestBootloader)
#include "tst_bootloader.moc"
