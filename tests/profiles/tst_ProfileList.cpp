#include "devices/OrvUsbPedalsProfileV2.h"
#include "devices/OrvUsbWheelBaseProfileV5.h"
#include "profiles/ProfileList.h"

#include <QTest>

#include <cstring>

namespace {

// A settings block as the devices hold it, every slot named "P<slot>" with
// its own index and distinct bytes.
template <typename Profile, int Capacity> struct Block
{
    uint8_t profileCount = 0;
    uint8_t currentProfileIndex = 0;
    Profile profiles[Capacity];

    Block(int count, int current)
    {
        std::memset(profiles, 0x5A, sizeof profiles);
        for (int slot = 0; slot < Capacity; ++slot) {
            Profile& profile = profiles[slot];
            profile.index = uint8_t(slot);
            std::memset(profile.name, 0, sizeof profile.name);
            std::snprintf(profile.name, sizeof profile.name, "P%d", slot);
            reinterpret_cast<uint8_t*>(&profile)[sizeof(Profile) - 1] = uint8_t(slot);
        }
        profileCount = uint8_t(count);
        currentProfileIndex = uint8_t(current);
    }

    ProfileList<Profile> list()
    {
        return ProfileList<Profile>(profileCount, currentProfileIndex, profiles, Capacity);
    }
    QByteArray bytes() const
    {
        return QByteArray(reinterpret_cast<const char*>(this), int(sizeof *this));
    }
    QByteArray slotBytes(int slot) const { return bytesOf(profiles[slot]); }
    static QByteArray bytesOf(const Profile& profile)
    {
        return QByteArray(reinterpret_cast<const char*>(&profile), sizeof profile);
    }
};

using WheelBaseBlock = Block<OrvUsbWheelBaseProfileV5, 100>;
using PedalsBlock = Block<OrvUsbPedalsProfileV2, 40>;

QByteArray nameField(const QByteArray& text)
{
    return text.leftJustified(16, '\0');
}

} // namespace

class TestProfileList : public QObject
{
    Q_OBJECT

private slots:
    void addProfile_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("current");
        QTest::addColumn<bool>("changed");
        QTest::newRow("one") << 1 << 0 << true;
        QTest::newRow("three, first current") << 3 << 0 << true;
        QTest::newRow("99 becomes full") << 99 << 50 << true;
        QTest::newRow("full") << 100 << 99 << false;
        QTest::newRow("count above capacity") << 200 << 0 << false;
        QTest::newRow("current out of range") << 2 << 180 << true;
    }
    // A copy of the last profile (not the current one), named after its slot.
    void addProfile()
    {
        QFETCH(int, count);
        QFETCH(int, current);
        QFETCH(bool, changed);
        WheelBaseBlock block(count, current);
        const WheelBaseBlock before = block;
        QCOMPARE(block.list().addProfile(), changed);
        if (!changed) {
            QCOMPARE(block.bytes(), before.bytes());
            return;
        }
        QCOMPARE(int(block.profileCount), count + 1);
        QCOMPARE(int(block.currentProfileIndex), count);
        OrvUsbWheelBaseProfileV5 expected = before.profiles[count - 1];
        expected.index = uint8_t(count);
        std::memcpy(expected.name, nameField("Profile " + QByteArray::number(count)).constData(),
                    16);
        QCOMPARE(block.slotBytes(count), WheelBaseBlock::bytesOf(expected));
        for (int slot = 0; slot < count; ++slot)
            QCOMPARE(block.slotBytes(slot), before.slotBytes(slot));
    }

    // An empty wheel base list gets its first profile in place: the given
    // settings change, every other byte of the slot stays.
    void addFirstWheelBaseProfile()
    {
        WheelBaseBlock block(0, 7);
        OrvUsbWheelBaseProfileV5 expected = block.profiles[0];
        QVERIFY(block.list().addProfile());
        QCOMPARE(int(block.profileCount), 1);
        QCOMPARE(int(block.currentProfileIndex), 0);
        expected.index = 0;
        std::memcpy(expected.name, nameField("Profile 0").constData(), 16);
        expected.rotationDegrees = 900;
        expected.encoderType = 3;
        expected.encoderResolution = 4194304;
        expected.maxForce = 50;
        expected.generalSmoothing = 1;
        expected.damping = 1;
        QCOMPARE(block.slotBytes(0), WheelBaseBlock::bytesOf(expected));
    }

    // An empty pedals list gets a complete linear profile at full force.
    void addFirstPedalsProfile()
    {
        PedalsBlock block(0, 0);
        QVERIFY(block.list().addProfile());
        QCOMPARE(int(block.profileCount), 1);
        QCOMPARE(int(block.currentProfileIndex), 0);
        const QByteArray linear = QByteArray::fromHex("0014283C5064");
        QCOMPARE(block.slotBytes(0), QByteArray(1, '\0') + nameField("Profile 0") +
                                         QByteArray::fromHex("FFFFFFFFFFFF000000000000") + linear +
                                         linear + linear);
    }

    void removeCurrentProfile_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("current");
        QTest::addColumn<bool>("changed");
        QTest::addColumn<int>("newCurrent");
        QTest::newRow("last of three") << 3 << 2 << true << 1;
        QTest::newRow("first of three") << 3 << 0 << true << 0;
        QTest::newRow("middle of three") << 3 << 1 << true << 1;
        QTest::newRow("first of a full list") << 100 << 0 << true << 0;
        QTest::newRow("last of a full list") << 100 << 99 << true << 98;
        QTest::newRow("one left") << 1 << 0 << false << 0;
        QTest::newRow("empty") << 0 << 0 << false << 0;
        QTest::newRow("current past the end") << 3 << 3 << false << 0;
        QTest::newRow("count above capacity") << 150 << 120 << false << 0;
    }
    // The others close up in order, each slot's index following its position.
    void removeCurrentProfile()
    {
        QFETCH(int, count);
        QFETCH(int, current);
        QFETCH(bool, changed);
        QFETCH(int, newCurrent);
        WheelBaseBlock block(count, current);
        const WheelBaseBlock before = block;
        QCOMPARE(block.list().removeCurrentProfile(), changed);
        if (!changed) {
            QCOMPARE(block.bytes(), before.bytes());
            return;
        }
        QCOMPARE(int(block.profileCount), count - 1);
        QCOMPARE(int(block.currentProfileIndex), newCurrent);
        for (int slot = 0; slot < count - 1; ++slot) {
            OrvUsbWheelBaseProfileV5 expected = before.profiles[slot < current ? slot : slot + 1];
            expected.index = uint8_t(slot);
            QCOMPARE(block.slotBytes(slot), WheelBaseBlock::bytesOf(expected));
        }
    }

    void replaceCurrentProfile_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("current");
        QTest::addColumn<bool>("changed");
        QTest::newRow("second of three") << 3 << 1 << true;
        QTest::newRow("last of a full list") << 40 << 39 << true;
        QTest::newRow("empty") << 0 << 0 << false;
        QTest::newRow("current past the end") << 2 << 2 << false;
        QTest::newRow("current past the array") << 200 << 60 << false;
    }
    // The whole record from a file lands in the current slot, which keeps its
    // index; a name without NUL gets one.
    void replaceCurrentProfile()
    {
        QFETCH(int, count);
        QFETCH(int, current);
        QFETCH(bool, changed);
        PedalsBlock block(count, current);
        const PedalsBlock before = block;
        OrvUsbPedalsProfileV2 loaded;
        std::memset(&loaded, 'X', sizeof loaded);
        QCOMPARE(block.list().replaceCurrentProfile(loaded), changed);
        if (!changed) {
            QCOMPARE(block.bytes(), before.bytes());
            return;
        }
        OrvUsbPedalsProfileV2 expected = loaded;
        expected.index = before.profiles[current].index;
        expected.name[15] = '\0';
        for (int slot = 0; slot < 40; ++slot)
            QCOMPARE(block.slotBytes(slot),
                     slot == current ? PedalsBlock::bytesOf(expected) : before.slotBytes(slot));
        QCOMPARE(int(block.profileCount), count);
        QCOMPARE(int(block.currentProfileIndex), current);
    }
};

QTEST_GUILESS_MAIN(TestProfileList)
#include "tst_ProfileList.moc"
