#include "profiles/PedalsProfilesManager.h"
#include "profiles/WheelBaseProfilesManager.h"
#include "profiles/crc32Words.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif

enum class Kind
{
    WheelBase,
    Pedals
};
Q_DECLARE_METATYPE(Kind)

namespace {

const QString Ok;
const QString Unknown = QStringLiteral("Unknown file format");
const QString Corrupted = QStringLiteral("Corrupted file");

int recordSize(Kind kind)
{
    return kind == Kind::WheelBase ? 54 : 47;
}
const char* kindName(Kind kind)
{
    return kind == Kind::WheelBase ? "wheel base" : "pedals";
}

QByteArray le32(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian<quint32>(value, bytes.data());
    return bytes;
}

QByteArray checksummed(const QByteArray& bytes)
{
    return bytes + le32(crc32Words(bytes.constData(), size_t(bytes.size())));
}

// Deterministic bytes without a single zero, so the name has no NUL.
QByteArray pattern(int size, int seed)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char(0x41 + (seed + i * 7) % 26);
    return bytes;
}

QByteArray terminated(QByteArray record)
{
    record[16] = '\0';
    return record;
}

// The current form built by hand: version, magic, record, zero padding, checksum.
QByteArray currentFile(Kind kind, const QByteArray& record, int version = -1)
{
    const bool wheelBase = kind == Kind::WheelBase;
    if (version < 0)
        version = wheelBase ? 4 : 2;
    QByteArray bytes = le32(quint32(version)) + QByteArray::fromHex("AFDEBAF0") + record;
    bytes.append(wheelBase ? 2 : 1, '\0');
    return checksummed(bytes);
}

template <typename Manager, typename Profile>
QString loadWith(const QString& path, QByteArray& record)
{
    Profile profile;
    std::memcpy(&profile, record.constData(), sizeof profile);
    Manager manager;
    const QString error = manager.loadFromFile(path, profile);
    record = QByteArray(reinterpret_cast<const char*>(&profile), sizeof profile);
    return error;
}

QString load(Kind kind, const QString& path, QByteArray& record)
{
    return kind == Kind::WheelBase
               ? loadWith<WheelBaseProfilesManager, OrvUsbWheelBaseProfileV5>(path, record)
               : loadWith<PedalsProfilesManager, OrvUsbPedalsProfileV2>(path, record);
}

template <typename Manager, typename Profile>
QString saveWith(const QString& path, const QByteArray& record)
{
    Profile profile;
    std::memcpy(&profile, record.constData(), sizeof profile);
    return Manager().saveToFile(path, profile);
}

QString save(Kind kind, const QString& path, const QByteArray& record)
{
    return kind == Kind::WheelBase
               ? saveWith<WheelBaseProfilesManager, OrvUsbWheelBaseProfileV5>(path, record)
               : saveWith<PedalsProfilesManager, OrvUsbPedalsProfileV2>(path, record);
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), qint64(bytes.size()));
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString openError(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString() : file.errorString();
}

} // namespace

class TestProfilesManager : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    // Loads into a record that holds other bytes first, so that an untouched
    // record is told apart from an overwritten one.
    void checkLoad(Kind kind, const QByteArray& file, const QString& error,
                   const QByteArray& expected)
    {
        const QString path = dir.filePath("load.oprf");
        writeFile(path, file);
        const QByteArray before(recordSize(kind), char(0xA5));
        QByteArray record = before;
        QCOMPARE(load(kind, path, record), error);
        QCOMPARE(record, error.isEmpty() ? expected : before);
    }

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    void roundTrip_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QByteArray>("record");
        for (Kind kind : {Kind::WheelBase, Kind::Pedals}) {
            QByteArray named = pattern(recordSize(kind), 3);
            named.replace(1, 16, QByteArray("Profile 7").leftJustified(16, '\0'));
            QTest::addRow("%s, terminated name", kindName(kind)) << kind << named;
            QTest::addRow("%s, name without NUL", kindName(kind))
                << kind << pattern(recordSize(kind), 5);
        }
    }
    // The saved image is exactly the current form, it replaces a longer file
    // whole, and loads back as the record with its name ended by NUL.
    void roundTrip()
    {
        QFETCH(Kind, kind);
        QFETCH(QByteArray, record);
        const QString path = dir.filePath("roundtrip.oprf");
        writeFile(path, QByteArray(100, 'x'));
        QCOMPARE(save(kind, path, record), Ok);
        QCOMPARE(readFile(path), currentFile(kind, terminated(record)));
        checkLoad(kind, readFile(path), Ok, terminated(record));
    }

    void loadFile_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QByteArray>("expected");

        // Expected records for failures are unused: a failed load leaves the record alone.
        for (Kind kind : {Kind::WheelBase, Kind::Pedals}) {
            const char* name = kindName(kind);
            const QByteArray record = pattern(recordSize(kind), 1);
            const QByteArray file = currentFile(kind, record);
            const int paddingAt = 8 + recordSize(kind);
            auto flipped = [&file](int at, int bit) {
                QByteArray bytes = file;
                bytes[at] = char(bytes[at] ^ (1 << bit));
                return bytes;
            };
            QTest::addRow("%s current", name) << kind << file << Ok << terminated(record);
            // Header first: a bad magic is not reported as a bad checksum.
            QTest::addRow("%s wrong magic", name)
                << kind << flipped(5, 0) << Unknown << QByteArray();
            QTest::addRow("%s older version", name)
                << kind << currentFile(kind, record, kind == Kind::WheelBase ? 3 : 1) << Unknown
                << QByteArray();
            QTest::addRow("%s newer version", name)
                << kind << currentFile(kind, record, kind == Kind::WheelBase ? 5 : 3) << Unknown
                << QByteArray();
            QTest::addRow("%s padding bit", name)
                << kind << flipped(paddingAt, 6) << Corrupted << QByteArray();
            QTest::addRow("%s record bit", name)
                << kind << flipped(20, 3) << Corrupted << QByteArray();
            QTest::addRow("%s checksum bit", name)
                << kind << flipped(file.size() - 1, 7) << Corrupted << QByteArray();
            const Kind other = kind == Kind::WheelBase ? Kind::Pedals : Kind::WheelBase;
            QTest::addRow("%s file of the other kind", name)
                << kind << currentFile(other, pattern(recordSize(other), 1)) << Unknown
                << QByteArray();
        }

        // Older wheel base: the first 43 record bytes, checksum over 10 words.
        const QByteArray wheelOlder = pattern(43, 3);
        QByteArray wheelExpected = terminated(wheelOlder);
        wheelExpected += QByteArray::fromHex("00000002640184030000") + '\0';
        QByteArray wheelByte41 = checksummed(wheelOlder);
        wheelByte41[41] = '!';
        QByteArray wheelByte41Expected = wheelExpected;
        wheelByte41Expected[41] = '!';
        QByteArray wheelByte39 = checksummed(wheelOlder);
        wheelByte39[39] = '!';
        QTest::newRow("wheel base older")
            << Kind::WheelBase << checksummed(wheelOlder) << Ok << wheelExpected;
        QTest::newRow("wheel base older, byte 41 unguarded")
            << Kind::WheelBase << wheelByte41 << Ok << wheelByte41Expected;
        QTest::newRow("wheel base older, byte 39 guarded")
            << Kind::WheelBase << wheelByte39 << Corrupted << QByteArray();
        QTest::newRow("wheel base older into pedals")
            << Kind::Pedals << checksummed(wheelOlder) << Unknown << QByteArray();

        // Older pedals: index, name, 8-bit forces, the three curves.
        QByteArray pedalsOlder = pattern(41, 2);
        pedalsOlder.replace(17, 6, QByteArray::fromHex("C800FF0700FF"));
        OrvUsbPedalsProfileV2 converted;
        converted.index = uint8_t(pedalsOlder[0]);
        std::memcpy(converted.name, pedalsOlder.constData() + 1, 15);
        converted.name[15] = '\0';
        converted.clutchMaxForce = 800;
        converted.brakeMaxForce = 1000;
        converted.throttleMaxForce = 745;
        converted.clutchMinForce = 7;
        converted.brakeMinForce = 0;
        converted.throttleMinForce = 255;
        std::memcpy(converted.clutchCurve, pedalsOlder.constData() + 23, 6);
        std::memcpy(converted.brakeCurve, pedalsOlder.constData() + 29, 6);
        std::memcpy(converted.throttleCurve, pedalsOlder.constData() + 35, 6);
        const QByteArray pedalsExpected(reinterpret_cast<const char*>(&converted),
                                        sizeof converted);
        QByteArray pedalsByte40 = checksummed(pedalsOlder);
        pedalsByte40[40] = '!';
        QByteArray pedalsByte40Expected = pedalsExpected;
        pedalsByte40Expected[46] = '!';
        QByteArray pedalsBadChecksum = checksummed(pedalsOlder);
        pedalsBadChecksum[41] = char(pedalsBadChecksum[41] ^ 1);
        QTest::newRow("pedals older")
            << Kind::Pedals << checksummed(pedalsOlder) << Ok << pedalsExpected;
        QTest::newRow("pedals older, byte 40 unguarded")
            << Kind::Pedals << pedalsByte40 << Ok << pedalsByte40Expected;
        QTest::newRow("pedals older, bad checksum")
            << Kind::Pedals << pedalsBadChecksum << Corrupted << QByteArray();
        QTest::newRow("pedals older into wheel base")
            << Kind::WheelBase << checksummed(pedalsOlder) << Unknown << QByteArray();
    }
    void loadFile()
    {
        QFETCH(Kind, kind);
        QFETCH(QByteArray, file);
        QFETCH(QString, error);
        QFETCH(QByteArray, expected);
        checkLoad(kind, file, error, expected);
    }

    void fileSizes_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<int>("size");
        for (Kind kind : {Kind::WheelBase, Kind::Pedals})
            for (int size = 0; size <= 100; ++size)
                QTest::addRow("%s %d bytes", kindName(kind), size) << kind << size;
    }
    // A valid current file cut or padded to every size: only the full one
    // loads, the older size fails its checksum, no size reads out of bounds.
    void fileSizes()
    {
        QFETCH(Kind, kind);
        QFETCH(int, size);
        const QByteArray record = pattern(recordSize(kind), 4);
        QByteArray file = currentFile(kind, record);
        const int currentSize = file.size();
        file = file.leftJustified(size, char(0xEE), true);
        const int olderSize = kind == Kind::WheelBase ? 47 : 45;
        const QString error = size == currentSize ? Ok : size == olderSize ? Corrupted : Unknown;
        checkLoad(kind, file, error, terminated(record));
    }

    void loadOpenErrors_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("error");
        const QString missing = dir.filePath("missing.oprf");
        for (Kind kind : {Kind::WheelBase, Kind::Pedals}) {
            QTest::addRow("%s empty name", kindName(kind))
                << kind << QString() << QStringLiteral("File name can't be empty");
            QTest::addRow("%s missing file", kindName(kind))
                << kind << missing << openError(missing);
            QTest::addRow("%s directory", kindName(kind))
                << kind << dir.path() << openError(dir.path());
        }
    }
    void loadOpenErrors()
    {
        QFETCH(Kind, kind);
        QFETCH(QString, path);
        QFETCH(QString, error);
        QVERIFY(!error.isEmpty());
        const QByteArray before(recordSize(kind), char(0xA5));
        QByteArray record = before;
        QCOMPARE(load(kind, path, record), error);
        QCOMPARE(record, before);
    }

    void saveErrors_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("error");
        QTest::newRow("empty name") << QString() << QStringLiteral("File name can't be empty");
        QTest::newRow("missing directory") << dir.filePath("missing/p.oprf") << QString();
        QTest::newRow("directory") << dir.path() << QString();
    }
    void saveErrors()
    {
        QFETCH(QString, path);
        QFETCH(QString, error);
        const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden);
        const QString result = save(Kind::Pedals, path, pattern(47, 0));
        if (error.isEmpty())
            QVERIFY(!result.isEmpty());
        else
            QCOMPARE(result, error);
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden), before);
    }

#ifdef Q_OS_UNIX
    // A save that runs out of room midway leaves the old file as it was and
    // no temporary file behind.
    void failedSaveKeepsOldFile()
    {
        QTemporaryDir saveDir;
        QVERIFY(saveDir.isValid());
        const QString path = saveDir.filePath("kept.oprf");
        const QByteArray old(100, 'o');
        writeFile(path, old);

        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        rlimit small = saved;
        small.rlim_cur = 16;
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const QString error = save(Kind::WheelBase, path, pattern(54, 0));
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);

        QCOMPARE(error, QStringLiteral("Can't write all data"));
        QCOMPARE(readFile(path), old);
        QCOMPARE(QDir(saveDir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"kept.oprf"});
    }
#endif
};

QTEST_GUILESS_MAIN(TestProfilesManager)
#include "tst_ProfilesManager.moc"
