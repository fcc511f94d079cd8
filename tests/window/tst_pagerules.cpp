// The window's pure rules: rim angle, curve points, the moving channel,
// field access in packed records and the access notice.

#include "window/pages/AccessNotice.h"
#include "window/pages/FieldBinding.h"
#include "window/pages/PageRules.h"

#include <QTest>

#include <cerrno>
#include <cstring>

using namespace pagerules;

class TestPageRules : public QObject
{
    Q_OBJECT

private slots:
    void rimAngle_data()
    {
        QTest::addColumn<int>("axis");
        QTest::addColumn<int>("rotation");
        QTest::addColumn<int>("angle");
        QTest::newRow("900, full right") << 32767 << 900 << 449;
        QTest::newRow("900, full left") << -32768 << 900 << -450;
        QTest::newRow("1 and -1 are upright") << -1 << 900 << 0;
        QTest::newRow("1080, a quarter") << 16384 << 1080 << 270;
        QTest::newRow("range far out of bounds") << 32767 << 2000000000 << 999969481;
    }
    void rimAngle()
    {
        QFETCH(int, axis);
        QFETCH(int, rotation);
        QFETCH(int, angle);
        QCOMPARE(pagerules::rimAngle(int16_t(axis), rotation), angle);
    }

    void curvePoints_data()
    {
        QTest::addColumn<QList<int>>("points");
        QTest::addColumn<int>("point");
        QTest::addColumn<int>("position");
        QTest::addColumn<bool>("store");
        QTest::addColumn<int>("value");
        const QList<int> linear{0, 20, 40, 60, 80, 100};
        QTest::newRow("inside its neighbours") << linear << 2 << 50 << true << 50;
        QTest::newRow("on a neighbour") << linear << 2 << 20 << true << 20;
        QTest::newRow("below the lower") << linear << 2 << 10 << false << 20;
        QTest::newRow("above the upper") << linear << 2 << 70 << false << 60;
        QTest::newRow("first above the second") << linear << 0 << 30 << false << 20;
        QTest::newRow("first at zero") << linear << 0 << 0 << true << 0;
        QTest::newRow("last below the fifth") << linear << 5 << 70 << false << 80;
        QTest::newRow("last at the top") << linear << 5 << 100 << true << 100;
        // Neighbours out of order: the point keeps its stored value, which
        // comes back here as a value that changes nothing.
        const QList<int> crossed{0, 20, 95, 10, 80, 100};
        QTest::newRow("crossed, between them") << crossed << 2 << 15 << false << 95;
        QTest::newRow("crossed, its own value") << crossed << 3 << 10 << false << 10;
    }
    void curvePoints()
    {
        QFETCH(QList<int>, points);
        QFETCH(int, point);
        QFETCH(int, position);
        QFETCH(bool, store);
        QFETCH(int, value);
        uint8_t stored[6];
        for (int i = 0; i < 6; ++i)
            stored[i] = uint8_t(points[i]);
        const CurvePointEdit edit = clampCurvePoint(stored, point, position);
        QCOMPARE(edit.store, store);
        QCOMPARE(edit.value, value);
    }

    // The channel found moving during calibration: more than 3000 from rest,
    // either way, on a connected channel, X before Y before Z.
    void movedChannel_data()
    {
        QTest::addColumn<QList<int>>("moves"); // raw minus rest, X Y Z
        QTest::addColumn<QList<int>>("connected");
        QTest::addColumn<int>("channel");
        QTest::newRow("3000 is no movement")
            << QList<int>{0, 3000, 0} << QList<int>{1, 1, 1} << 255;
        QTest::newRow("3001 is") << QList<int>{0, 3001, 0} << QList<int>{1, 1, 1} << 1;
        QTest::newRow("down as well") << QList<int>{0, 0, -3001} << QList<int>{1, 1, 1} << 2;
        QTest::newRow("X first") << QList<int>{-5000, 9000, 0} << QList<int>{1, 1, 1} << 0;
        QTest::newRow("not connected") << QList<int>{9000, 0, 9000} << QList<int>{0, 1, 2} << 2;
    }
    void movedChannel()
    {
        QFETCH(QList<int>, moves);
        QFETCH(QList<int>, connected);
        QFETCH(int, channel);
        const uint32_t rest[3] = {8388608, 8388608, 8388608};
        uint32_t raw[3];
        uint8_t on[3];
        for (int i = 0; i < 3; ++i) {
            raw[i] = uint32_t(int64_t(rest[i]) + moves[i]);
            on[i] = uint8_t(connected[i]);
        }
        QCOMPARE(int(pagerules::movedChannel(raw, rest, on)), channel);
    }

    void fieldsOfPackedRecords()
    {
        uint8_t record[8] = {};
        const FieldBinding wide{"w", EditSignal::ValueChanged, 1, 4, true, nullptr, {}};
        const FieldBinding byte{"b", EditSignal::ValueChanged, 6, 1, true, nullptr, {}};
        storeField(record, wide, 0x12345678);
        QCOMPARE(record[1], uint8_t(0x78));
        QCOMPARE(readField(record, wide), 0x12345678);
        // An 8-bit field takes the low byte; signed fields read back negative.
        storeField(record, byte, 0x1FF);
        QCOMPARE(readField(record, byte), -1);
        QCOMPARE(readField(record, {"u", EditSignal::Activated, 6, 1, false, nullptr, {}}), 255);
        QCOMPARE(record[7], uint8_t(0));
    }

    // Which device, which node, why, and what to do; nothing at all when
    // every device opened.
    void accessNotice_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("why");
        QTest::addColumn<QString>("advice");
        QTest::newRow("no permission") << EACCES << "permission denied"
                                       << "sudo cp packaging/70-orv-devices.rules "
                                          "/etc/udev/rules.d/ && sudo udevadm control --reload "
                                          "&& sudo udevadm trigger";
        QTest::newRow("busy") << EBUSY << "in use by another program"
                              << "Close the other program that uses it";
    }
    void accessNotice()
    {
        QFETCH(int, error);
        QFETCH(QString, why);
        QFETCH(QString, advice);
        const QString text =
            AccessNotice::text({{"/dev/hidraw3", "ORV Torvane Pro Wheel Base", error}});
        QVERIFY2(text.startsWith("ORV Torvane Pro Wheel Base (/dev/hidraw3) is plugged in but "
                                 "cannot be opened: " +
                                 why + "."),
                 qPrintable(text));
        QVERIFY2(text.contains(advice), qPrintable(text));
        QVERIFY(AccessNotice::text({}).isEmpty());
    }
};

QTEST_MAIN(TestPageRules)
#include "tst_pagerules.moc"
