// The profile lists of the wheel base and the pedals, one table for both
// kinds: the read, save and live-update chains, each kind's update timer, the
// list operations, and answers describing a list the block cannot hold. The
// test plays the device on a private bus and hands it answers as the manager
// would.

#include "devices/UsbDeviceOrvPedals.h"
#include "devices/UsbDeviceOrvWheelBase.h"
#include "sim/SimPedals.h"
#include "sim/SimWheelBase.h"
#include "support/FakeDevice.h"
#include "support/TestBus.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <cstring>
#include <functional>
#include <memory>

namespace {

using Report = FakeDevice::Report;

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

// A device of either kind, its settings block laid open.
struct Subject
{
    std::unique_ptr<UsbDevice> device;
    uint8_t* count;
    uint8_t* current;
    uint8_t* profiles;
    OrvUsbDeviceInfo* info;
    bool* settingsLoaded;
    std::function<void(char)> edit; // '+' add, '-' remove, or replace with a record of this byte
};

template <typename Device> Subject subject(Device* d)
{
    return {std::unique_ptr<UsbDevice>(d),
            &d->profileCount,
            &d->currentProfileIndex,
            reinterpret_cast<uint8_t*>(d->profiles),
            &d->deviceInfo,
            &d->settingsLoaded,
            [d](char op) {
                if (op == '+')
                    return d->addProfile();
                if (op == '-')
                    return d->removeCurrentProfile();
                std::remove_reference_t<decltype(d->profiles[0])> record;
                std::memset(&record, op, sizeof record);
                d->replaceCurrentProfile(record);
            }};
}

} // namespace

class TestProfileLists : public QObject
{
    Q_OBJECT

    TestBus bus;
    std::unique_ptr<FakeDevice> fake;
    Kind kind{};
    Subject s;

    static void kinds()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("wheel base") << 0;
        QTest::newRow("pedals") << 1;
    }
    void start()
    {
        QFETCH(int, kind);
        this->kind = Kinds[kind];
        fake = std::make_unique<FakeDevice>(bus.stdPath(), "dev",
                                            kind ? orvsim::SimPedals::defaultInfo("P")
                                                 : orvsim::SimWheelBase::defaultInfo("W"));
        QVERIFY(fake->plug());
        const QString path = fake->path();
        s = kind ? subject(new UsbDeviceOrvPedals(path, fake->open()))
                 : subject(new UsbDeviceOrvWheelBase(path, fake->open()));
    }
    void call(const char* slot) { QVERIFY(QMetaObject::invokeMethod(s.device.get(), slot)); }
    void answer(Report r) { FakeDevice::deliver(s.device.get(), std::move(r)); }
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
    Report echoOfEnd(uint8_t code) const
    {
        Report r = response(code);
        r[kind.countAt] = 0xFF;
        return r;
    }
    Report settingsAnswer(uint8_t version, uint8_t count, uint8_t current) const
    {
        Report r = response(3);
        r[2] = version;
        for (size_t i = 3; i <= 9; ++i)
            r[i] = uint8_t(i * 11); // the device information
        r[kind.countAt] = count;
        r[kind.countAt + 1] = current;
        return r;
    }
    // The record for slot i as the device holds it: its name lacks the NUL.
    Report deviceRecord(int i) const
    {
        Report r(kind.recordSize);
        for (size_t b = 0; b < r.size(); ++b)
            r[b] = uint8_t(0x41 + (i * 5 + int(b)) % 26);
        r[0] = uint8_t(i);
        return r;
    }
    Report stored(int slot) const
    {
        const uint8_t* p = s.profiles + size_t(slot) * kind.recordSize;
        return Report(p, p + kind.recordSize);
    }
    // A record command: the slot's record, or for a read its number.
    Report recordCommand(uint8_t code, int slot) const
    {
        Report r = FakeDevice::command(code, kind.version);
        const Report record = code == 5 ? Report{uint8_t(slot)} : stored(slot);
        std::copy(record.begin(), record.end(), r.begin() + 3);
        return r;
    }
    Report withRecord(Report r, const Report& record) const
    {
        std::copy(record.begin(), record.end(), r.begin() + 3);
        return r;
    }
    void load(int count, int current)
    {
        call("loadSettings");
        answer(settingsAnswer(kind.version, uint8_t(count), uint8_t(current)));
        if (kind.calibrationFirst)
            answer(response(10));
        for (int i = 0; i < count; ++i)
            answer(withRecord(response(5), deviceRecord(i)));
        QVERIFY(fake->waitFor(size_t(count + 2 + kind.calibrationFirst)));
        fake->clear();
    }
    void expectSent(const std::vector<Report>& expected)
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
        s = Subject();
        fake.reset();
    }

    void readChain_data() { kinds(); }
    void readChain()
    {
        start();
        QSignalSpy loaded(s.device.get(), SIGNAL(onSettingsLoaded(UsbDevice*)));
        call("loadSettings");
        answer(settingsAnswer(kind.version, 3, 1));
        std::vector<Report> expected{command(3)};
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
        QCOMPARE(int(*s.count), 3);
        QCOMPARE(int(*s.current), 1);
        QCOMPARE(int(s.info->firmwareMajor), 66);
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
                      newer = "Device had a newer firmware. Please update this config tool.";
        for (int k : {0, 1}) {
            const char* name = k ? "pedals" : "wheel base";
            const int capacity = Kinds[k].capacity;
            // On another version the wheel base takes the count as reported,
            // the pedals nothing; a list the block cannot hold is never taken.
            QTest::addRow("%s, older", name) << k << -1 << 200 << 150 << older << (k ? 2 : 200);
            QTest::addRow("%s, newer", name) << k << 1 << 3 << 7 << newer << (k ? 2 : 3);
            QTest::addRow("%s, no profiles", name)
                << k << 0 << 0 << 0 << "Device reported 0 profiles" << 2;
            QTest::addRow("%s, one too many", name)
                << k << 0 << capacity + 1 << 0
                << QString("Device reported %1 profiles").arg(capacity + 1) << 2;
            QTest::addRow("%s, current 3 of 3", name)
                << k << 0 << 3 << 3 << "Device reported current profile 3 of 3" << 2;
            QTest::addRow("%s, current 7 of 3", name)
                << k << 0 << 3 << 7 << "Device reported current profile 7 of 3" << 2;
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
        QSignalSpy failed(s.device.get(), SIGNAL(onSettingsLoadFailed(UsbDevice*, QString)));
        QSignalSpy loaded(s.device.get(), SIGNAL(onSettingsLoaded(UsbDevice*)));
        call("loadSettings");
        answer(settingsAnswer(uint8_t(kind.version + version), uint8_t(count), uint8_t(current)));
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed.at(0).at(1).toString(), message);
        QCOMPARE(int(*s.count), countAfter);
        if (*s.count >= 1 && *s.count <= kind.capacity && *s.current < *s.count)
            return expectSent({command(3)});

        *s.settingsLoaded = true;
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
        std::unique_ptr<QSignalSpy> saved;
        if (kind.announcesSave)
            saved =
                std::make_unique<QSignalSpy>(s.device.get(), SIGNAL(onSettingsSaved(UsbDevice*)));
        QSignalSpy loaded(s.device.get(), SIGNAL(onSettingsLoaded(UsbDevice*)));
        call("saveSettings");
        answer(response(4));
        const int stray[] = {3, 120, 0x80}; // past the list, past the block, negative
        for (int i = 0; i < 3; ++i) {
            answer(response(6, stray[i]));
            answer(response(6, i));
        }
        if (saved)
            QCOMPARE(saved->count(), 1);
        answer(echoOfEnd(4));
        expectSent({command(4, 3, 1), recordCommand(6, 0), recordCommand(6, 1), recordCommand(6, 2),
                    end(4)});
        if (saved)
            QCOMPARE(saved->count(), 2);
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

        *s.settingsLoaded = true;
        fake->clear();
        QElapsedTimer clock;
        clock.start();
        qint64 lastEdit = 0;
        for (int edit = 0; edit < 3; ++edit) {
            s.profiles[kind.recordSize + 20] = uint8_t(edit);
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

        call("updateSettings"); // a later edit has an update of its own
        QVERIFY(fake->waitFor(6, 1000));
        QCOMPARE(fake->at(5), command(12, 3, 1));
    }

    void updateNeverEarly_data() { kinds(); }
    // Each round's clock starts before the edit, so no update may show
    // sooner than 250 ms on it.
    void updateNeverEarly()
    {
        start();
        load(2, 0);
        *s.settingsLoaded = true;
        for (int round = 0; round < 8; ++round) {
            fake->clear();
            call("updateSettings");
            QVERIFY(fake->waitFor(1, 1000));
            QVERIFY2(fake->timeAt(0) >= 250, qPrintable(QString::number(fake->timeAt(0))));
            answer(echoOfEnd(12));
        }
    }

    void listOperations_data() { kinds(); }
    void listOperations()
    {
        start();
        load(2, 0);
        QSignalSpy loaded(s.device.get(), SIGNAL(onSettingsLoaded(UsbDevice*)));
        s.edit('+');
        QCOMPARE(loaded.count(), 1);
        QCOMPARE(int(*s.count), 3);
        QCOMPARE(int(*s.current), 2);
        s.edit('-');
        QCOMPARE(loaded.count(), 2);
        QCOMPARE(int(*s.count), 2);
        s.edit('X'); // replaced in place, announced by the window itself
        QCOMPARE(loaded.count(), 2);
        QCOMPARE(int(stored(1)[0]), 1);
        QCOMPARE(stored(1)[1], uint8_t('X'));
        *s.count = uint8_t(kind.capacity);
        s.edit('+'); // full
        QCOMPARE(loaded.count(), 2);
        QCOMPARE(int(*s.count), kind.capacity);
    }
};

QTEST_GUILESS_MAIN(TestProfileLists)
#include "tst_profilelists.moc"
