// The calibration wizard's state: step order by the number of connected
// pedals, and the rules for readings and channels. Its texts are the
// wizard's (tst_calibrationwizard).

#include "devices/PedalsCalibrationState.h"

#include <QTest>

class TestCalibrationState : public QObject
{
    Q_OBJECT

private slots:
    void stepsVisited_data()
    {
        QTest::addColumn<int>("pedalCount");
        QTest::addColumn<QList<int>>("steps");
        QTest::newRow("3") << 3 << QList<int>{0, 1, 2, 3, 4, 5, 6, 7};
        QTest::newRow("2: clutch skipped") << 2 << QList<int>{0, 1, 2, 3, 4, 7};
        QTest::newRow("1: throttle only") << 1 << QList<int>{0, 1, 2, 7};
        QTest::newRow("0") << 0 << QList<int>{0, 7};
    }

    // Forward to the save step, then back to the start.
    void stepsVisited()
    {
        QFETCH(int, pedalCount);
        QFETCH(QList<int>, steps);
        PedalsCalibrationState state;
        state.pedalCount = uint32_t(pedalCount);
        QList<int> visited{state.step};
        while (state.step != PedalsCalibrationState::SaveStep)
            visited << state.nextStep();
        QCOMPARE(visited, steps);
        visited = {state.step};
        while (state.step != 0)
            visited.prepend(state.previousStep());
        QCOMPARE(visited, steps);
    }

    void releasedReadingMustMove_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<uint>("pressed");
        QTest::addColumn<uint>("released");
        QTest::addColumn<bool>("accepted");

        QTest::newRow("throttle 4999 apart") << 2 << 8400000u << 8404999u << false;
        QTest::newRow("throttle 5000 apart") << 2 << 8400000u << 8405000u << true;
        QTest::newRow("brake 5000 below") << 4 << 8400000u << 8395000u << true;
        QTest::newRow("clutch same") << 6 << 7u << 7u << false;
        // Taken as a signed 32-bit difference: far apart in unsigned terms,
        // close across the wrap.
        QTest::newRow("across the wrap") << 2 << 0xFFFFFFFEu << 2u << false;
        QTest::newRow("the widest difference") << 2 << 0x80000000u << 0u << true;
    }

    void releasedReadingMustMove()
    {
        QFETCH(int, step);
        QFETCH(uint, pressed);
        QFETCH(uint, released);
        QFETCH(bool, accepted);
        PedalsCalibrationState state;
        state.step = step - 1;
        QVERIFY(state.recordRawValue(pressed));
        state.step = step;
        const uint32_t* neutral = step == 2   ? &state.working.throttleNeutral
                                  : step == 4 ? &state.working.brakeNeutral
                                              : &state.working.clutchNeutral;
        const uint32_t before = *neutral;
        QCOMPARE(state.recordRawValue(released), accepted);
        QCOMPARE(*neutral, accepted ? released : before);
    }

    void channels_data()
    {
        QTest::addColumn<int>("throttle");
        QTest::addColumn<int>("brake");
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("channel");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<int>("stored");

        QTest::newRow("free channel") << 255 << 255 << 1 << 1 << true << 1;
        QTest::newRow("brake on the throttle's channel") << 1 << 255 << 3 << 1 << false << 255;
        QTest::newRow("clutch on the brake's channel") << 0 << 2 << 5 << 2 << false << 255;
        QTest::newRow("no pedal moved, another unassigned") << 1 << 255 << 5 << 255 << true << 255;
        QTest::newRow("no pedal moved at the first step") << 255 << 255 << 1 << 255 << true << 255;
        QTest::newRow("released step keeps the pressing step's pedal")
            << 255 << 0 << 2 << 2 << true << 2;
    }

    void channels()
    {
        QFETCH(int, throttle);
        QFETCH(int, brake);
        QFETCH(int, step);
        QFETCH(int, channel);
        QFETCH(bool, accepted);
        QFETCH(int, stored);
        PedalsCalibrationState state;
        state.working.throttleChannel = uint8_t(throttle);
        state.working.brakeChannel = uint8_t(brake);
        state.working.clutchChannel = 255;
        state.step = step;
        QCOMPARE(state.assignChannel(uint8_t(channel)), accepted);
        const uint8_t* pedal = step <= 2   ? &state.working.throttleChannel
                               : step <= 4 ? &state.working.brakeChannel
                                           : &state.working.clutchChannel;
        QCOMPARE(int(*pedal), stored);
    }
};

QTEST_GUILESS_MAIN(TestCalibrationState)
#include "tst_calibrationstate.moc"
