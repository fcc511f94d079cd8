// The CSV telemetry log: lines of each layout against hand-written ones (in a
// comma-decimal locale, which must change nothing), output modulo, the
// force-sample latch and cap, the motor trace's change detector, the pedals'
// time reference and unique file names (a log that cannot be created, and a
// disk that fills up, are tested from the window's button).

#include "devices/LittleEndian.h"
#include "telemetry/TelemetryLog.h"

#include <QBuffer>
#include <QDateTime>
#include <QTemporaryDir>
#include <QTest>

#include <array>
#include <clocale>
#include <limits>
#include <vector>

namespace {

using Record = std::array<uint8_t, 63>;
using Source = TelemetryLog::Source;

Record statusRecord()
{
    Record r{};
    r[3] = 1;
    uint8_t* s = r.data() + 4; // the status record
    le::putU32(s + 1, 123456);
    le::putF32(s + 9, 12.345678f);
    le::putF32(s + 17, 1e-05f);
    le::putF32(s + 21, -0.5f);
    s[41] = 255;
    s[42] = uint8_t(-12);
    s[43] = uint8_t(-2);
    for (int i = 0; i < 4; ++i)
        s[44 + i] = uint8_t(40 + i);
    return r;
}

Record forceRecord(int samples, int latchAt, int16_t torqueIn)
{
    Record r{};
    le::putU16(r.data(), uint16_t(int16_t(-16384))); // half to the left
    r[3] = 2;
    le::putU16(r.data() + 4, uint16_t(torqueIn));
    r[6] = uint8_t(latchAt);
    r[7] = uint8_t(samples);
    for (int i = 0; i < 11; ++i) {
        le::putU16(r.data() + 8 + 2 * i, uint16_t(int16_t(100 * i + 1)));
        le::putU16(r.data() + 30 + 2 * i, uint16_t(int16_t(-i)));
    }
    le::putF32(r.data() + 52, 123456.7f);
    return r;
}

Record traceRecord(float elAngle)
{
    Record r{};
    r[3] = 3;
    le::putU32(r.data() + 4, 99);
    for (int i = 0; i < 9; ++i)
        le::putF32(r.data() + 8 + 4 * i, 0.5f * float(i));
    le::putF32(r.data() + 12, elAngle);
    return r;
}

Record pedalsRecord(uint16_t x, uint32_t xRaw)
{
    Record r{};
    le::putU16(r.data(), x);
    le::putU16(r.data() + 2, 2);
    le::putU16(r.data() + 4, 65535);
    le::putU32(r.data() + 10, xRaw);
    le::putU32(r.data() + 14, 8388608);
    return r;
}

struct Feed
{
    Record record;
    uint64_t time;
    uint32_t modulo = 1;
};

// What a log writes of these records when it starts after the first one,
// which only sets the time reference and the layout.
QByteArray logged(Source source, const std::vector<Feed>& feeds, bool outputModulo = false)
{
    TelemetryLog log(0);
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    for (size_t i = 0; i < feeds.size(); ++i) {
        if (i == 1)
            log.startOn(source, &out, outputModulo);
        if (source == Source::Pedals)
            log.pedalsRecord(feeds[i].record.data(), feeds[i].time);
        else
            log.wheelBaseRecord(feeds[i].record.data(), feeds[i].time, feeds[i].modulo);
    }
    return out.data();
}

} // namespace

class TestTelemetryLog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::German));
        std::setlocale(LC_ALL, "de_DE.UTF-8");
    }

    void outputModulo()
    {
        // On: every tenth record, counted across the log (a modulo of 0
        // writes nothing). Off: every record, whatever modulo it carries.
        std::vector<Feed> feeds;
        for (uint64_t t = 0; t <= 25; ++t)
            feeds.push_back({statusRecord(), 100 + t * 1000, t == 5 ? 0u : 10u});
        const QByteArray status = ",12.3457,1e-05,-0.5000,123456,25.5,-1.2,-0.4,40,41,42,43\r\n";
        const QByteArray header =
            "Time,dt,SteeringWheelAngle %,Torque IN %,Torque OUT %,Ticks,MaxMotorCurrent,"
            "PsuCurrent,MotorCurrent,PsuTemp,MotorTemp,BrakeTemp,PowerstageTemp\r\n";
        QCOMPARE(logged(Source::WheelBase, feeds, true),
                 header + "10100,10000" + status + "20100,10000" + status);
        QCOMPARE(logged(Source::WheelBase, feeds, false).count("\r\n"), 1 + 25);
    }

    void forceSamples()
    {
        // The torque-in value applies from sample 1 on; sample 0 keeps the one
        // latched before (0 at the start). A count above what the record holds
        // stops at eleven samples.
        const QByteArray log = logged(Source::WheelBase, {{forceRecord(0, 0, 0), 10},
                                                          {forceRecord(3, 1, 1234), 40},
                                                          {forceRecord(255, 20, 0), 50}});
        const QByteArray first = "Time,dt,SteeringWheelAngle %,Torque IN %,Torque OUT %, Torque "
                                 "Actual %,Rotor Pos\r\n40,30,-50,0,0.01,0,123457\r\n"
                                 "40,30,-50,12.34,1.01,-0.01,123457\r\n"
                                 "40,30,-50,12.34,2.01,-0.02,123457\r\n";
        QCOMPARE(log.left(first.size()), first);
        QCOMPARE(log.count("\r\n"), 4 + 11);
        QVERIFY(log.contains("\n50,10,-50,12.34,10.01,-0.1,"));
    }

    void motorTraceWritesChangesOnly()
    {
        std::vector<Feed> feeds{{traceRecord(0), 0}};
        uint64_t t = 0;
        for (float a : {1.5f, 1.5f, -0.25f, std::numeric_limits<float>::quiet_NaN(), 2.0f, 1.5f})
            feeds.push_back({traceRecord(a), t += 10});
        feeds.push_back({statusRecord(), 75}); // skipped records still move the reference
        QCOMPARE(logged(Source::WheelBase, feeds),
                 QByteArray("Time,Ticks,MechAngle,ElAngle,ElAngleEncoder,PwmU,PwmV,PwmW,HallU,"
                            "HallV,HallW,HallPSU\r\n"
                            "10,99,0,1.5,1,1.5,2,2.5,3,3.5,-6.5,4\r\n"
                            "50,99,0,2,1,1.5,2,2.5,3,3.5,-6.5,4\r\n"
                            "60,99,0,1.5,1,1.5,2,2.5,3,3.5,-6.5,4\r\n"
                            "75,15,12.3457,1e-05,-0.5000,123456,25.5,-1.2,-0.4,40,41,42,43\r\n"));
    }

    void pedalsCountFromTheLastRecordBeforeLogging()
    {
        QCOMPARE(
            logged(Source::Pedals, {{pedalsRecord(1, 1), 500},
                                    {pedalsRecord(32767, 0xFFFFFFFF), 700},
                                    {pedalsRecord(0, 8388608), 900}}),
            QByteArray("Time,dt,x,y,z,x_raw,y_raw,z_raw\r\n700,200,32767,2,65535,-1,8388608,0\r\n"
                       "900,400,0,2,65535,8388608,8388608,0\r\n"));
    }

    void filesAreNeverOverwritten()
    {
        QTemporaryDir dir;
        const QDateTime when(QDate(2026, 12, 7), QTime(9, 5, 3));
        TelemetryLog first(0), second(0);
        QVERIFY(first.start(Source::Pedals, QDir(dir.path()), when, false).isEmpty());
        QVERIFY(second.start(Source::Pedals, QDir(dir.path()), when, false).isEmpty());
        QCOMPARE(first.fileName(), dir.filePath("pedals-log-2026-12-07-09-05-03.csv"));
        QCOMPARE(second.fileName(), dir.filePath("pedals-log-2026-12-07-09-05-03-1.csv"));
    }
};

QTEST_GUILESS_MAIN(TestTelemetryLog)
#include "tst_telemetrylog.moc"
