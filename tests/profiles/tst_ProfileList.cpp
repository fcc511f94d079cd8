#include "devices/OrvUsbPedalsProfileV2.h"
#include "profiles/ProfileList.h"
#include "profiles/ProfileName.h"

#include <QTest>

#include <cstring>

namespace {

template <typename T> QByteArray bytes(const T& value)
{
    return QByteArray(reinterpret_cast<const char*>(&value), sizeof value);
}

// A pedals settings block as the device holds it. Every slot is filled with a
// byte of its own (no NUL: names run the whole field) and has its own index.
struct Block
{
    uint8_t count, current;
    OrvUsbPedalsProfileV2 profiles[40];

    Block(int count, int current) : count(uint8_t(count)), current(uint8_t(current))
    {
        for (int slot = 0; slot < 40; ++slot) {
            std::memset(&profiles[slot], 0x20 + slot, sizeof profiles[slot]);
            profiles[slot].index = uint8_t(slot);
        }
    }
    ProfileList<OrvUsbPedalsProfileV2> list() { return {count, current, profiles, 40}; }
};

} // namespace

class TestProfileList : public QObject
{
    Q_OBJECT

private slots:
    // Blocks as a device may report them, and what each operation makes of
    // them: the current index afterwards, or -1 when the block must stay as
    // it is.
    void operations_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("afterAdd");
        QTest::addColumn<int>("afterRemove");
        QTest::addColumn<int>("afterReplace");
        QTest::newRow("empty") << 0 << 0 << 0 << -1 << -1;
        QTest::newRow("one") << 1 << 0 << 1 << -1 << 0;
        QTest::newRow("first of three") << 3 << 0 << 3 << 0 << 0;
        QTest::newRow("middle of three") << 3 << 1 << 3 << 1 << 1;
        QTest::newRow("last of three") << 3 << 2 << 3 << 1 << 2;
        QTest::newRow("current past the end") << 3 << 3 << 3 << -1 << -1;
        QTest::newRow("last of a full list") << 40 << 39 << -1 << 38 << 39;
        QTest::newRow("count above capacity") << 200 << 60 << -1 << -1 << -1;
    }
    void operations()
    {
        QFETCH(int, count);
        QFETCH(int, current);
        QFETCH(int, afterAdd);
        QFETCH(int, afterRemove);
        QFETCH(int, afterReplace);
        const Block before(count, current);

        // Add: a copy of the last profile (not the current one) named after
        // its slot; on an empty list, full force and linear curves.
        Block block = before, expected = before;
        QCOMPARE(block.list().addProfile(), afterAdd >= 0);
        if (afterAdd >= 0) {
            const QByteArray first =
                QByteArray::fromHex("FFFFFFFFFFFF0000000000000014283C50640014283C50640014283C5064");
            const QByteArray name = ("Profile " + QByteArray::number(count)).leftJustified(16, 0);
            const QByteArray settings = count ? bytes(before.profiles[count - 1]).mid(17) : first;
            std::memcpy(&expected.profiles[count], (char(count) + name + settings).constData(), 47);
            expected.count = uint8_t(count + 1);
            expected.current = uint8_t(afterAdd);
        }
        QCOMPARE(bytes(block), bytes(expected));

        // Remove: the others close up in order, each slot's index following
        // its position; the slot left over may hold anything.
        block = expected = before;
        QCOMPARE(block.list().removeCurrentProfile(), afterRemove >= 0);
        if (afterRemove >= 0) {
            for (int slot = 0; slot < count - 1; ++slot) {
                expected.profiles[slot] = before.profiles[slot < current ? slot : slot + 1];
                expected.profiles[slot].index = uint8_t(slot);
            }
            expected.count = uint8_t(count - 1);
            expected.current = uint8_t(afterRemove);
        }
        const int kept = 2 + 47 * (afterRemove >= 0 ? count - 1 : 40);
        QCOMPARE(bytes(block).left(kept), bytes(expected).left(kept));

        // Replace: the whole record from a file lands in the current slot,
        // which keeps its index; a name without NUL gets one.
        block = expected = before;
        OrvUsbPedalsProfileV2 loaded;
        std::memset(&loaded, 'X', sizeof loaded);
        QCOMPARE(block.list().replaceCurrentProfile(loaded), afterReplace >= 0);
        const QByteArray replaced =
            char(current) + QByteArray(15, 'X') + '\0' + QByteArray(30, 'X');
        if (afterReplace >= 0)
            std::memcpy(&expected.profiles[current], replaced.constData(), sizeof loaded);
        QCOMPARE(bytes(block), bytes(expected));
    }

    void profileNames_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("fits") << "Road" << QByteArray("Road");
        QTest::newRow("cut at 15 bytes") << "0123456789abcdefgh" << QByteArray("0123456789abcde");
        // Seven two-byte letters fit; the eighth would be cut in half.
        QTest::newRow("cut before a whole character")
            << QString::fromUtf8("ßßßßßßßßß") << QString::fromUtf8("ßßßßßßß").toUtf8();
    }
    void profileNames()
    {
        QFETCH(QString, typed);
        QFETCH(QByteArray, stored);
        QCOMPARE(profileNameBytes(typed), stored);
        char name[16] = {};
        std::memcpy(name, stored.constData(), size_t(stored.size()));
        QCOMPARE(profileNameText(name), QString::fromUtf8(stored));
    }

    void unterminatedNameStopsAtSixteenBytes()
    {
        char name[16];
        std::memset(name, 'A', sizeof name);
        QCOMPARE(profileNameText(name), QString(16, QLatin1Char('A')));
    }
};

QTEST_GUILESS_MAIN(TestProfileList)
#include "tst_ProfileList.moc"
