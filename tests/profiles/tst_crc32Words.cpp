#include "profiles/crc32Words.h"

#include <QByteArray>
#include <QTest>

namespace {

// Bytewise CRC-32/MPEG-2, written independently of the word-wise one.
uint32_t mpeg2(const QByteArray& bytes)
{
    uint32_t crc = 0xFFFFFFFF;
    for (char byte : bytes) {
        crc ^= uint32_t(uint8_t(byte)) << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}

QByteArray withPrefix(const char* prefix, int size)
{
    QByteArray bytes(size, '\0');
    bytes.replace(0, int(qstrlen(prefix)), prefix);
    return bytes;
}

} // namespace

class TestCrc32Words : public QObject
{
    Q_OBJECT

private slots:
    void knownValues_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<quint32>("crc");
        QTest::newRow("abcd") << QByteArray("abcd") << quint32(0xA62F1C36);
        QTest::newRow("four zero bytes") << QByteArray(4, '\0') << quint32(0xC704DD7B);
        QTest::newRow("empty") << QByteArray() << quint32(0xFFFFFFFF);
        QTest::newRow("one byte") << QByteArray("a") << quint32(0xFFFFFFFF);
        QTest::newRow("three bytes") << QByteArray("abc") << quint32(0xFFFFFFFF);
        QTest::newRow("trailing bytes ignored") << QByteArray("abcdefg") << quint32(0xA62F1C36);
        // The word count keeps only its low 16 bits.
        QTest::newRow("65536 words count as none")
            << withPrefix("abcd", 0x40000) << quint32(0xFFFFFFFF);
        QTest::newRow("65537 words count as one")
            << withPrefix("abcd", 0x40004) << quint32(0xA62F1C36);
    }
    void knownValues()
    {
        QFETCH(QByteArray, data);
        QFETCH(quint32, crc);
        QCOMPARE(crc32Words(data.constData(), size_t(data.size())), crc);
    }

    // Word-wise over little-endian words is MPEG-2 over each word's bytes
    // taken most significant first: checks the chaining across many words.
    void matchesMpeg2OverSwappedWords()
    {
        QCOMPARE(mpeg2("123456789"), uint32_t(0x0376E6E7));
        QByteArray data, swapped;
        for (int i = 0; i < 64; ++i)
            data.append(char(i * 37 + 11));
        for (int i = 0; i < data.size(); i += 4)
            for (int b = 3; b >= 0; --b)
                swapped.append(data[i + b]);
        QCOMPARE(crc32Words(data.constData(), size_t(data.size())), mpeg2(swapped));
    }
};

QTEST_GUILESS_MAIN(TestCrc32Words)
#include "tst_crc32Words.moc"
