#include "profiles/PedalsProfilesManager.h"
#include "profiles/WheelBaseProfilesManager.h"
#include "profiles/crc32Words.h"

#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <chrono>
#include <future>
#include <memory>

#ifdef Q_OS_UNIX
#include "support/FileSizeLimit.h"

#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <linux/capability.h>
#include <sys/syscall.h>
#endif

namespace {

QByteArray checksummed(const QByteArray& bytes)
{
    const quint32 crc = qToLittleEndian(crc32Words(bytes.constData(), size_t(bytes.size())));
    return bytes + QByteArray(reinterpret_cast<const char*>(&crc), 4);
}

// Letters, so the name has no NUL unless `terminated` puts one at its end.
QByteArray pattern(int size, bool terminated = false)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char(0x41 + (3 + i * 7) % 26);
    if (terminated)
        bytes[16] = '\0';
    return bytes;
}

// The current form built by hand: version, magic, record, zero padding to a
// whole word, checksum.
QByteArray currentFile(bool wheelBase, const QByteArray& record, int version = 0)
{
    const QByteArray header = char(version ? version : wheelBase ? 4 : 2) + QByteArray(3, '\0');
    const QByteArray padding(wheelBase ? 2 : 1, '\0');
    return checksummed(header + QByteArray::fromHex("AFDEBAF0") + record + padding);
}

// Loads into or saves from the record's bytes; a load writes them back.
template <typename Manager, typename Profile>
QString run(bool saving, const QString& path, QByteArray& record)
{
    Profile profile;
    std::memcpy(&profile, record.constData(), sizeof profile);
    const QString error =
        saving ? Manager().saveToFile(path, profile) : Manager().loadFromFile(path, profile);
    record = QByteArray(reinterpret_cast<const char*>(&profile), sizeof profile);
    return error;
}
QString run(bool wheelBase, bool saving, const QString& path, QByteArray& record)
{
    return wheelBase ? run<WheelBaseProfilesManager, OrvUsbWheelBaseProfileV5>(saving, path, record)
                     : run<PedalsProfilesManager, OrvUsbPedalsProfileV2>(saving, path, record);
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Closes a folder to new files, or opens it again: its write bits, and the
// capability by which root would pass them.
void closeFolder(const QString& path, bool closed)
{
    QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner |
                                    (closed ? QFile::Permissions() : QFile::WriteOwner));
#ifdef Q_OS_LINUX
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    if (geteuid() == 0 && syscall(SYS_capget, &header, data) == 0) {
        const quint32 bit = 1u << CAP_DAC_OVERRIDE;
        data[0].effective = closed ? data[0].effective & ~bit : data[0].effective | bit;
        syscall(SYS_capset, &header, data);
    }
#endif
}

} // namespace

class TestProfilesManager : public QObject
{
    Q_OBJECT

private slots:
    // The several-word value is CRC-32/MPEG-2 over each little-endian word's
    // bytes taken most significant first, worked out apart from this code.
    void crc32Words_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<quint32>("crc");
        QTest::newRow("abcd") << QByteArray("abcd") << quint32(0xA62F1C36);
        QTest::newRow("four words") << QByteArray("abcdefghijklmnop") << quint32(0x262FD554);
        QTest::newRow("empty") << QByteArray() << quint32(0xFFFFFFFF);
        QTest::newRow("trailing bytes ignored") << QByteArray("abcdefg") << quint32(0xA62F1C36);
    }
    void crc32Words()
    {
        QFETCH(QByteArray, data);
        QFETCH(quint32, crc);
        QCOMPARE(::crc32Words(data.constData(), size_t(data.size())), crc);
    }

    void forms_data()
    {
        QTest::addColumn<bool>("wheelBase");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("record");
        // Current files whose names lack their NUL.
        QTest::newRow("wheel base") << true << currentFile(true, pattern(54)) << pattern(54, true);
        QTest::newRow("pedals") << false << currentFile(false, pattern(47)) << pattern(47, true);
        // The settings added since the older wheel base form take fixed values.
        QTest::newRow("older wheel base")
            << true << checksummed(pattern(43))
            << pattern(43, true) + QByteArray::fromHex("0000000264018403000000");
        // Older pedals: 8-bit forces, the maximum counted down from 1000.
        QByteArray pedalsOlder = pattern(41).replace(17, 6, QByteArray::fromHex("C800FF0700FF"));
        QTest::newRow("older pedals")
            << false << checksummed(pedalsOlder)
            << pedalsOlder.left(16) + '\0' + QByteArray::fromHex("2003E803E90207000000FF00") +
                   pedalsOlder.mid(23);
    }
    // Each form loads as the record; saved again, even from a name without
    // its NUL, it is exactly the current form.
    void forms()
    {
        QFETCH(bool, wheelBase);
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, record);
        QTemporaryDir dir;
        const QString path = dir.filePath("p.oprf");
        writeFile(path, file);
        QByteArray loaded(record.size(), char(0xA5));
        QCOMPARE(run(wheelBase, false, path, loaded), QString());
        QCOMPARE(loaded, record);
        loaded[16] = 'Z';
        QCOMPARE(run(wheelBase, true, path, loaded), QString());
        QCOMPARE(readFile(path), currentFile(wheelBase, record));
    }

    void errors_data()
    {
        QTest::addColumn<bool>("wheelBase");
        QTest::addColumn<bool>("saving");
        QTest::addColumn<QString>("name");    // in a fresh directory
        QTest::addColumn<QByteArray>("file"); // there beforehand
        QTest::addColumn<int>("sizeLimit");   // on files written, 0 for none
        QTest::addColumn<QString>("error");
        const QString unknown = "Unknown file format", corrupted = "Corrupted file",
                      noName = "File name can't be empty";
        // What Qt itself says about a file it cannot open.
        QTemporaryDir scratch;
        QFile missing(scratch.filePath("p.oprf"));
        QSaveFile unwritable(scratch.filePath("no/p.oprf"));
        QVERIFY(!missing.open(QIODevice::ReadOnly) && !unwritable.open(QIODevice::WriteOnly));
        QTest::newRow("load, empty name") << true << false << "" << QByteArray() << 0 << noName;
        QTest::newRow("save, empty name") << false << true << "" << QByteArray() << 0 << noName;
        QTest::newRow("missing file")
            << true << false << "p.oprf" << QByteArray() << 0 << missing.errorString();
        QTest::newRow("save into a missing directory")
            << true << true << "no/p.oprf" << QByteArray() << 0 << unwritable.errorString();
#ifdef Q_OS_UNIX
        QTest::newRow("save cut short")
            << true << true << "p.oprf" << QByteArray(100, 'o') << 16 << "Can't write all data";
#endif
        for (bool wheelBase : {true, false}) {
            const QByteArray record = pattern(wheelBase ? 54 : 47);
            const QByteArray file = currentFile(wheelBase, record);
            const auto row = [&](const char* what, QByteArray bytes, int flip, QString error) {
                if (flip >= 0)
                    bytes.data()[flip] ^= 1;
                QTest::addRow("%s, %s", wheelBase ? "wheel base" : "pedals", what)
                    << wheelBase << false << "p.oprf" << bytes << 0 << error;
            };
            row("empty", "", -1, unknown);
            row("a byte short", file.chopped(1), -1, unknown);
            row("a byte over", file + 'x', -1, unknown);
            row("wrong magic", file, 5, unknown);
            row("older version", currentFile(wheelBase, record, wheelBase ? 3 : 1), -1, unknown);
            row("newer version", currentFile(wheelBase, record, wheelBase ? 5 : 3), -1, unknown);
            row("flipped record bit", file, 20, corrupted);
            row("flipped padding bit", file, 8 + record.size(), corrupted);
            row("flipped checksum bit", file, file.size() - 1, corrupted);
            row("older form, flipped bit", checksummed(pattern(wheelBase ? 43 : 41)), 3, corrupted);
        }
    }
    // A failure leaves the record and any file there before as they were.
    void errors()
    {
        QFETCH(bool, wheelBase);
        QFETCH(bool, saving);
        QFETCH(QString, name);
        QFETCH(QByteArray, file);
        QFETCH(int, sizeLimit);
        QFETCH(QString, error);
        QTemporaryDir dir;
        const QString path = name.isEmpty() ? QString() : dir.filePath(name);
        if (!file.isNull())
            writeFile(path, file);
        QByteArray record(wheelBase ? 54 : 47, char(0xA5));
#ifdef Q_OS_UNIX
        std::unique_ptr<FileSizeLimit> limit(sizeLimit ? new FileSizeLimit(rlim_t(sizeLimit))
                                                       : nullptr);
#endif
        QCOMPARE(run(wheelBase, saving, path, record), error);
        QCOMPARE(record, QByteArray(record.size(), char(0xA5)));
        QCOMPARE(readFile(path), file);
    }

#ifdef Q_OS_UNIX
    // Opening a FIFO waits for a writer, and the caller is the window's
    // thread: it is refused instead.
    void fifoIsRefusedWithoutWaiting()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("p.oprf");
        QVERIFY(::mkfifo(QFile::encodeName(path), 0600) == 0);
        OrvUsbPedalsProfileV2 profile{};
        auto load = std::async(std::launch::async,
                               [&] { return PedalsProfilesManager().loadFromFile(path, profile); });
        if (load.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
            QFile writer(path); // lets the load return, so the test can fail
            writer.open(QIODevice::WriteOnly);
            QFAIL("loading a FIFO waited for a writer");
        }
        QCOMPARE(load.get(), QString("Not a regular file"));
    }
#endif

    // A writable file in a folder closed to new files is written in place; a
    // new file there still fails as a plain open would.
    void saveIntoClosedFolder()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("p.oprf"), added = dir.filePath("q.oprf");
        writeFile(path, "old");
        closeFolder(dir.path(), true);
        const std::shared_ptr<void> reopen(nullptr, [&](void*) { closeFolder(dir.path(), false); });
        QFile plain(added);
        if (plain.open(QIODevice::WriteOnly))
            QSKIP("This system lets the test create files in a folder without write bits.");
        QByteArray record = pattern(47, true);
        QCOMPARE(run(false, true, path, record), QString());
        QCOMPARE(readFile(path), currentFile(false, record));
        QCOMPARE(run(false, true, added, record), plain.errorString());
    }
};

QTEST_GUILESS_MAIN(TestProfilesManager)
#include "tst_ProfilesManager.moc"
