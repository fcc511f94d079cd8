// The wheel base and the pedals, one table for both kinds where they share a
// mechanism: one-shot commands, the profile list's read, save and live-update
// chains, each kind's update timer, and answers that describe a list the
// block cannot hold; then what only one kind does. The list operations
// themselves are tst_ProfileList's. The
// test plays the device on a private bus and hands it answers as the manager
// would.

#include "devices/ProfileDevice.h"
#include "devices/UsbDeviceOrvPedals.h"
#include "devices/UsbDeviceOrvWheelBase.h"
#include "support/FakeDevice.h"
#include "support/TestBus.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

using Report = FakeDevice::Report;
using Reports = std::vector<Report>;

struct Kind
{
    uint8_t version;
    size_t countAt; // where count and current index travel
    size_t recordSize;
    int capacity;
    bool announcesSave;    // onSettingsSaved when a save completes
    bool restartsOnEdit;   // each edit postpones the live update
    bool calibrationFirst; // the calibration is read before profile 0
};
const Kind Kinds[] = {{6, 42, 54, 100, true, true, false}, {4, 10, 47, 40, false, false, true}};

} // namespace

class TestWheelBaseAndPedals : public QObject
{
    Q_OBJECT

    TestBus bus;
    std::unique_ptr<FakeDevice> fake;
    Kind kind{};
    std::unique_ptr<UsbDevice> device;
    std::unique_ptr<ProfileDevice> list; // the device's settings block

    static void kinds()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("wheel base") << 0;
        QTest::newRow("pedals") << 1;
    }
    void start()
    {
        QFETCH(int, kind);
        start(kind);
    }
    void start(int k)
    {
        kind = Kinds[k];
        fake = std::make_unique<FakeDevice>(bus.stdPath(), "dev", testDeviceInfo(0xA355, "ORV"));
        QVERIFY(fake->plug());
        if (k)
            device = std::make_unique<UsbDeviceOrvPedals>(fake->path(), fake->open());
        else
            device = std::make_unique<UsbDeviceOrvWheelBase>(fake->path(), fake->open());
        list = ProfileDevice::of(device.get());
    }
    void call(const char* slot) { QVERIFY(QMetaObject::invokeMethod(device.get(), slot)); }
    void answer(Report r) { FakeDevice::deliver(device.get(), std::move(r)); }
    Report response(uint8_t code, int index = -1) const
    {
        return FakeDevice::response(code, kind.version, index);
    }
    Report command(uint8_t code, int count = 0, int current = 0) const
    {
        Report r = FakeDevice::command(code, kind.version);
        r[kind.countAt] = uint8_t(count);
        r[kind.countAt + 1] = uint8_t(current);
        return r;
    }
    Report end(uint8_t code) const { return command(code, 0xFF); }
    Report echoOfEnd(uint8_t code) const { return withRecord(response(code), {}, 0xFF); }
    Report settingsAnswer(int version, int count, int current) const
    {
        Report r = withRecord(command(3, count, current), {0, 11, 22, 33, 44, 55, 66});
        r[0] = 0x65;
        r[2] = uint8_t(version);
        return r;
    }
    // A record as the device holds it: its name lacks the NUL.
    Report deviceRecord(int i, size_t size = 0) const
    {
        Report r(size ? size : kind.recordSize);
        for (size_t b = 0; b < r.size(); ++b)
            r[b] = uint8_t(0x41 + (i * 5 + int(b)) % 26);
        r[0] = uint8_t(i);
        return r;
    }
    Report stored(int slot) const
    {
        const QByteArray bytes = list->profileBytes(slot);
        return Report(bytes.begin(), bytes.end());
    }
    // A record command: the slot's record, or for a read its number.
    Report recordCommand(uint8_t code, int slot) const
    {
        return withRecord(FakeDevice::command(code, kind.version),
                          code == 5 ? Report{uint8_t(slot)} : stored(slot));
    }
    // Puts a record at byte 3, and an end mark where the count travels.
    Report withRecord(Report r, const Report& record, int endMark = -1) const
    {
        std::copy(record.begin(), record.end(), r.begin() + 3);
        if (endMark >= 0)
            r[kind.countAt] = uint8_t(endMark);
        return r;
    }
    void load(int count, int current)
    {
        call("loadSettings");
        answer(settingsAnswer(kind.version, count, current));
        if (kind.calibrationFirst)
            answer(response(10));
        for (int i = 0; i < count; ++i)
            answer(withRecord(response(5), deviceRecord(i)));
        QVERIFY(fake->waitFor(size_t(count + 2 + kind.calibrationFirst)));
        fake->clear();
    }
    void expectSent(const Reports& expected)
    {
        QVERIFY(fake->waitFor(expected.size()));
        QTest::qWait(50); // and nothing more
        QCOMPARE(fake->received(), expected);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(bus.isValid());
        bus.useAsBackend();
        QCOMPARE(hid_init(), 0);
    }
    void cleanup()
    {
        list.reset();
        device.reset();
        fake.reset();
    }

    // Only commands that expect an answer are resent.
    void oneShotCommands_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QByteArray>("slot");
        QTest::addColumn<QVariant>("argument");
        QTest::addColumn<Report>("expected");
        QTest::addColumn<bool>("resent");
        const auto row = [](int kind, const char* slot, QVariant argument, uint8_t code, int at,
                            uint8_t value, bool resent) {
            Report r = FakeDevice::command(code, code == 1 ? 0 : Kinds[kind].version);
            r[size_t(at)] = value;
            QTest::addRow("%s, %s(%s)", kind ? "pedals" : "wheel base", slot,
                          qPrintable(argument.toString()))
                << kind << QByteArray(slot) << argument << r << resent;
        };
        row(0, "enterBootloader", {}, 1, 3, 0, false);
        row(0, "resetToFactoryDefaults", {}, 8, 5, 1, false);
        row(0, "sendTestForceCommand", 0.5f, 9, 7, 0x3F, false); // 0.5 in bytes 4 to 7
        row(0, "sendTestBrakeResistorCommand", true, 9, 3, 1, false);
        row(0, "sendTestBrakeResistorCommand", false, 9, 3, 2, false);
        row(1, "enterBootloader", {}, 1, 3, 0, true);
        row(1, "loadCalibration", {}, 10, 3, 0, true);
        row(1, "startCalibration", {}, 14, 3, 0, true);
        row(1, "stopCalibration", {}, 15, 3, 0, false);
    }
    void oneShotCommands()
    {
        start();
        QFETCH(QByteArray, slot);
        QFETCH(QVariant, argument);
        QFETCH(Report, expected);
        QFETCH(bool, resent);
        if (argument.isValid())
            QVERIFY(QMetaObject::invokeMethod(
                device.get(), slot.constData(),
                QGenericArgument(argument.typeName(), argument.constData())));
        else
            call(slot.constData());
        expectSent({expected});
        QCOMPARE(device->awaitingAnswer(), resent);
    }

    void readChain_data() { kinds(); }
    void readChain()
    {
        start();
        QSignalSpy loaded(device.get(), SIGNAL(onSettingsLoaded(UsbDevice*)));
        call("loadSettings");
        answer(settingsAnswer(kind.version, 3, 1));
        Reports expected{command(3)};
        if (kind.calibrationFirst) {
            expected.push_back(FakeDevice::command(10, kind.version));
            answer(response(10));
        }
        for (int i = 0; i < 3; ++i) {
            expected.push_back(recordCommand(5, i));
            QCOMPARE(loaded.count(), 0);
            for (int stray : {3, 0x80, 120}) // name no slot of the list
                answer(withRecord(response(5), deviceRecord(stray)));
            answer(withRecord(response(5), deviceRecord(i)));
        }
        expected.push_back(end(3));
        QCOMPARE(loaded.count(), 1);
        expectSent(expected);
        QCOMPARE(list->profileCount(), 3);
        QCOMPARE(list->currentProfileIndex(), 1);
        QCOMPARE(int(list->deviceInfo().firmwareMajor), 33);
        for (int i = 0; i < 3; ++i) {
            Report record = deviceRecord(i);
            record[16] = 0; // the name ends inside its 16 bytes
            QCOMPARE(stored(i), record);
        }
    }

    void settingsAnswerRefused_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("version"); // relative to the kind's
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("current");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("countAfter");
        const QString older = "Device has an older firmware. Please update the firmware.",
                      newer = "Device had a newer firmware. Please update this config tool.",
                      profiles = "Device reported %1 profiles",
                      current = "Device reported current profile %1 of %2";
        for (int k : {0, 1}) {
            const char* name = k ? "pedals" : "wheel base";
            const int over = Kinds[k].capacity + 1;
            // On another version the wheel base takes the count as reported,
            // the pedals nothing; a list the block cannot hold is never taken.
            QTest::addRow("%s, older", name) << k << -1 << 200 << 150 << older << (k ? 2 : 200);
            QTest::addRow("%s, newer", name) << k << 1 << 3 << 7 << newer << (k ? 2 : 3);
            QTest::addRow("%s, none", name) << k << 0 << 0 << 0 << profiles.arg(0) << 2;
            QTest::addRow("%s, too many", name) << k << 0 << over << 0 << profiles.arg(over) << 2;
            QTest::addRow("%s, 3 of 3", name) << k << 0 << 3 << 3 << current.arg(3).arg(3) << 2;
        }
        QTest::addRow("wheel base, protocol 1") << 0 << -5 << 3 << 1 << older << 0;
    }
    // The user is told, and nothing more is sent. A list the block cannot
    // hold is never stepped through afterwards, whatever is asked.
    void settingsAnswerRefused()
    {
        start();
        QFETCH(int, version);
        QFETCH(int, count);
        QFETCH(int, current);
        QFETCH(QString, message);
        QFETCH(int, countAfter);
        load(2, 1);
        QSignalSpy failed(device.get(), SIGNAL(onSettingsLoadFailed(UsbDevice*, QString)));
        QSignalSpy loaded(device.get(), SIGNAL(onSettingsLoaded(UsbDevice*)));
        call("loadSettings");
        answer(settingsAnswer(kind.version + version, count, current));
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed.at(0).at(1).toString(), message);
        QCOMPARE(list->profileCount(), countAfter);
        if (countAfter >= 1 && countAfter <= kind.capacity &&
            list->currentProfileIndex() < countAfter)
            return expectSent({command(3)});

        list->setSettingsLoaded(true);
        call("saveSettings");
        call("updateSettings");
        QTest::qWait(UsbDeviceOrvWheelBase::UpdateDelayMs + 100);
        for (uint8_t code : {4, 12, 7})
            answer(response(code));
        for (uint8_t code : {5, 6, 13})
            for (int index : {0, count - 1})
                answer(withRecord(response(code), deviceRecord(index)));
        expectSent({command(3)});
        QCOMPARE(loaded.count(), 0);
    }

    void saveChain_data() { kinds(); }
    void saveChain()
    {
        start();
        load(3, 1);
        QSignalSpy loaded(device.get(), SIGNAL(onSettingsLoaded(UsbDevice*)));
        std::unique_ptr<QSignalSpy> saved;
        if (kind.announcesSave)
            saved.reset(new QSignalSpy(device.get(), SIGNAL(onSettingsSaved(UsbDevice*))));
        call("saveSettings");
        answer(response(4));
        const int stray[] = {3, 120, 0x80}; // past the list, past the block, negative
        for (int i = 0; i < 3; ++i) {
            answer(response(6, stray[i]));
            answer(response(6, i));
        }
        QCOMPARE(saved ? saved->count() : 1, 1);
        answer(echoOfEnd(4));
        expectSent({command(4, 3, 1), recordCommand(6, 0), recordCommand(6, 1), recordCommand(6, 2),
                    end(4)});
        QCOMPARE(saved ? saved->count() : 2, 2);
        QCOMPARE(loaded.count(), 0);
    }

    void liveUpdate_data() { kinds(); }
    // Edits 100 ms apart: the wheel base sends one update 250 ms after the
    // last, the pedals 250 ms after the first, carrying all made by then.
    void liveUpdate()
    {
        start();
        load(3, 1);
        call("updateSettings"); // the window shows no settings yet
        QTest::qWait(UsbDeviceOrvWheelBase::UpdateDelayMs + 100);
        QCOMPARE(fake->count(), size_t(0));

        list->setSettingsLoaded(true);
        fake->clear();
        QElapsedTimer clock;
        clock.start();
        qint64 lastEdit = 0;
        for (int edit = 0; edit < 3; ++edit) {
            list->renameCurrentProfile(QString::number(edit));
            lastEdit = clock.elapsed();
            call("updateSettings");
            QTest::qWait(100);
        }
        QVERIFY(fake->waitFor(1, 1000));
        const qint64 sent = fake->timeAt(0);
        if (kind.restartsOnEdit)
            QVERIFY2(sent >= lastEdit + 250 && sent < lastEdit + 650,
                     qPrintable(QString::number(sent)));
        else
            QVERIFY2(sent >= 250 && sent < lastEdit + 240, qPrintable(QString::number(sent)));
        answer(response(12));
        for (int i = 0; i < 3; ++i)
            answer(response(13, i));
        answer(echoOfEnd(12)); // starts nothing
        expectSent({command(12, 3, 1), recordCommand(13, 0), recordCommand(13, 1),
                    recordCommand(13, 2), end(12)});

        // Each later edit has an update of its own. Each round's clock starts
        // before the edit, so none may show sooner than 250 ms on it (a
        // coarse timer often comes a few ms early).
        for (int round = 0; round < 5; ++round) {
            fake->clear();
            call("updateSettings");
            QVERIFY(fake->waitFor(1, 1000));
            QVERIFY2(fake->timeAt(0) >= 250, qPrintable(QString::number(fake->timeAt(0))));
            QCOMPARE(fake->at(0), command(12, 3, 1));
            answer(echoOfEnd(12));
        }
    }

    // The wheel base sends the current profile; the device answers with it
    // re-centred, or older firmware with the count and current index.
    void centring_data()
    {
        QTest::addColumn<int>("version");
        QTest::newRow("record answer") << 6;
        QTest::newRow("old firmware: count and index") << 1;
    }
    void centring()
    {
        QFETCH(int, version);
        start(0);
        load(3, 1);
        QSignalSpy loaded(device.get(), SIGNAL(onSettingsLoaded(UsbDevice*)));
        call("centerRim");
        expectSent({recordCommand(7, 1)});
        QVERIFY(device->awaitingAnswer());
        Report centred = withRecord(response(7), deviceRecord(1));
        centred[2] = uint8_t(version);
        centred[42] = 2;
        centred[43] = 0;
        answer(centred);
        QCOMPARE(loaded.count(), 1);
        centred[16 + 3] = 0;
        QCOMPARE(stored(1) == Report(&centred[3], &centred[3 + 54]), version >= 2);
        QCOMPARE(list->profileCount(), version >= 2 ? 3 : 2);
        QCOMPARE(list->currentProfileIndex(), version >= 2 ? 1 : 0);
    }

    // Started, the calibration is resent at an interval of its own until
    // the device confirms; then commands go back to the usual 600 ms. What
    // it reads and stores is the wizard test's.
    void pedalsCalibrationResend()
    {
        start(1);
        QSignalSpy started(device.get(), SIGNAL(onCalibrationStarted()));
        call("startCalibration");
        QVERIFY(fake->waitFor(2, 2000));
        const qint64 resent = fake->timeAt(1) - fake->timeAt(0);
        QVERIFY2(resent >= 950 && resent < 1600, qPrintable(QString::number(resent)));
        answer(response(14));
        QCOMPARE(started.count(), 1);
        call("loadCalibration");
        QVERIFY(fake->waitFor(4, 1500));
        const qint64 retry = fake->timeAt(3) - fake->timeAt(2);
        QVERIFY2(retry >= 550 && retry < 950, qPrintable(QString::number(retry)));
    }
};

QTEST_GUILESS_MAIN(TestWheelBaseAndPedals)
#include "tst_wheelbaseandpedals.moc"
