#include "profiles/crc32Words.h"

#include <QByteArray>
#include <QTest>

class TestCrc32Words : public QObject
{
    Q_OBJECT

private slots:
    // The several-word value is CRC-32/MPEG-2 over each little-endian word's
    // bytes taken most significant first, worked out apart from this code.
    void knownValues_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<quint32>("crc");
        QTest::newRow("abcd") << QByteArray("abcd") << quint32(0xA62F1C36);
        QTest::newRow("four zero bytes") << QByteArray(4, '\0') << quint32(0xC704DD7B);
        QTest::newRow("four words") << QByteArray("abcdefghijklmnop") << quint32(0x262FD554);
        QTest::newRow("empty") << QByteArray() << quint32(0xFFFFFFFF);
        QTest::newRow("three bytes") << QByteArray("abc") << quint32(0xFFFFFFFF);
        QTest::newRow("trailing bytes ignored") << QByteArray("abcdefg") << quint32(0xA62F1C36);
    }
    void knownValues()
    {
        QFETCH(QByteArray, data);
        QFETCH(quint32, crc);
        QCOMPARE(crc32Words(data.constData(), size_t(data.size())), crc);
    }
};

QTEST_GUILESS_MAIN(TestCrc32Words)
#include "tst_crc32Words.moc"
