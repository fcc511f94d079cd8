// The CSV telemetry log: lines of each layout against hand-written ones,
// output modulo, the force-sample latch, the motor trace's change detector,
// the pedals' time reference, unique file names and failed writes (a log
// that cannot be created is tested from the window's button).

#include "devices/LittleEndian.h"
#include "support/FileSizeLimit.h"
#include "telemetry/TelemetryCsv.h"
#include "telemetry/TelemetryLog.h"

#include <QBuffer>
#include <QDateTime>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <array>
#include <clocale>
#include <cmath>
#include <limits>

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
    le::putU32(r.data() + 18, 0);
    return r;
}

QList<QByteArray> lines(const QBuffer& buffer)
{
    QList<QByteArray> all = buffer.data().split('\n');
    all.removeLast(); // after the last CR LF
    for (QByteArray& l : all)
        l.append('\n');
    return all;
}

// Takes bytes until full, then fails every write, as a full disk does.
class FullDevice : public QBuffer
{
public:
    explicit FullDevice(qint64 room) : room(room) { open(QIODevice::WriteOnly); }

protected:
    qint64 writeData(const char* data, qint64 length) override
    {
        if (pos() + length > room) {
            setErrorString("No space left on device");
            return -1;
        }
        return QBuffer::writeData(data, length);
    }

private:
    qint64 room;
};

} // namespace

class TestTelemetryLog : public QObject
{
    Q_OBJECT

private slots:
    void numbers_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("general");
        QTest::addColumn<QString>("fixed4");
        QTest::newRow("small") << 1e-05 << "1e-05"
                               << "0.0000";
        QTest::newRow("six digits") << 123456.7 << "123457"
                                    << "123456.7000";
        QTest::newRow("negative zero") << -0.0 << "-0"
                                       << "-0.0000";
        QTest::newRow("large") << 1e+06 << "1e+06"
                               << "1000000.0000";
    }
    void numbers()
    {
        QFETCH(double, value);
        QFETCH(QString, general);
        QFETCH(QString, fixed4);
        QCOMPARE(telemetrycsv::general(value), general);
        QCOMPARE(telemetrycsv::fixed(value, 4), fixed4);
    }

    void statusLines()
    {
        TelemetryLog log(1000);
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        log.wheelBaseRecord(statusRecord().data(), 2000, 1); // not logging: moves the reference
        QVERIFY(log.startOn(Source::WheelBase, &out, false).isEmpty());
        log.wheelBaseRecord(statusRecord().data(), 2250, 7); // modulo off: 7 is ignored
        QCOMPARE(lines(out),
                 (QList<QByteArray>{
                     "Time,dt,SteeringWheelAngle %,Torque IN %,Torque OUT %,Ticks,MaxMotorCurrent,"
                     "PsuCurrent,MotorCurrent,PsuTemp,MotorTemp,BrakeTemp,PowerstageTemp\r\n",
                     "2250,250,12.3457,1e-05,-0.5000,123456,25.5,-1.2,-0.4,40,41,42,43\r\n"}));
    }

    void outputModuloSpansTheRecords()
    {
        TelemetryLog log(0);
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        log.wheelBaseRecord(statusRecord().data(), 100, 10);
        QVERIFY(log.startOn(Source::WheelBase, &out, true).isEmpty());
        for (uint64_t t = 1; t <= 25; ++t)
            log.wheelBaseRecord(statusRecord().data(), 100 + t * 1000, 10);
        const auto written = lines(out);
        QCOMPARE(written.size(), 3); // header, records 10 and 20
        QVERIFY(written[1].startsWith("10100,10000,"));
        QVERIFY(written[2].startsWith("20100,10000,"));
    }

    void forceSamples()
    {
        TelemetryLog log(0);
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        log.wheelBaseRecord(forceRecord(0, 0, 0).data(), 10, 1);
        QVERIFY(log.startOn(Source::WheelBase, &out, false).isEmpty());
        // The torque-in value applies from sample 1 on; sample 0 keeps the
        // one latched before (0 at the start).
        log.wheelBaseRecord(forceRecord(3, 1, 1234).data(), 40, 1);
        QCOMPARE(lines(out),
                 (QList<QByteArray>{"Time,dt,SteeringWheelAngle %,Torque IN %,Torque OUT %, Torque "
                                    "Actual %,Rotor Pos\r\n",
                                    "40,30,-50,0,0.01,0,123457\r\n",
                                    "40,30,-50,12.34,1.01,-0.01,123457\r\n",
                                    "40,30,-50,12.34,2.01,-0.02,123457\r\n"}));
        // A count above what the record holds stops at eleven samples.
        out.buffer().clear();
        out.seek(0);
        log.wheelBaseRecord(forceRecord(255, 20, 0).data(), 50, 1);
        QCOMPARE(lines(out).size(), 11);
        QVERIFY(lines(out).last().startsWith("50,10,-50,12.34,10.01,-0.1,"));
    }

    void motorTraceWritesChangesOnly()
    {
        TelemetryLog log(0);
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        log.wheelBaseRecord(traceRecord(0).data(), 0, 1);
        QVERIFY(log.startOn(Source::WheelBase, &out, false).isEmpty());
        const float nan = std::numeric_limits<float>::quiet_NaN();
        const float angles[] = {1.5f, 1.5f, -0.25f, nan, 2.0f, 1.5f};
        uint64_t t = 0;
        for (float a : angles)
            log.wheelBaseRecord(traceRecord(a).data(), t += 10, 1);
        QCOMPARE(lines(out),
                 (QList<QByteArray>{"Time,Ticks,MechAngle,ElAngle,ElAngleEncoder,PwmU,PwmV,PwmW,"
                                    "HallU,HallV,HallW,HallPSU\r\n",
                                    "10,99,0,1.5,1,1.5,2,2.5,3,3.5,-6.5,4\r\n",
                                    "50,99,0,2,1,1.5,2,2.5,3,3.5,-6.5,4\r\n",
                                    "60,99,0,1.5,1,1.5,2,2.5,3,3.5,-6.5,4\r\n"}));
        // Skipped records still move the time reference.
        log.wheelBaseRecord(statusRecord().data(), 75, 1);
        QVERIFY(lines(out).last().startsWith("75,15,"));
    }

    void pedalsCountFromTheLastRecordBeforeLogging()
    {
        TelemetryLog log(0);
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        log.pedalsRecord(pedalsRecord(1, 1).data(), 500);
        QVERIFY(log.startOn(Source::Pedals, &out, false).isEmpty());
        log.pedalsRecord(pedalsRecord(32767, 0xFFFFFFFF).data(), 700);
        log.pedalsRecord(pedalsRecord(0, 8388608).data(), 900);
        QCOMPARE(lines(out), (QList<QByteArray>{"Time,dt,x,y,z,x_raw,y_raw,z_raw\r\n",
                                                "700,200,32767,2,65535,-1,8388608,0\r\n",
                                                "900,400,0,2,65535,8388608,8388608,0\r\n"}));
    }

    void filesAreNeverOverwritten()
    {
        QTemporaryDir dir;
        const QDateTime when(QDate(2026, 12, 7), QTime(9, 5, 3));
        TelemetryLog first(0), second(0);
        QVERIFY(first.start(Source::Pedals, QDir(dir.path()), when, false).isEmpty());
        QVERIFY(second.start(Source::Pedals, QDir(dir.path()), when, false).isEmpty());
        QCOMPARE(QFileInfo(first.fileName()).fileName(),
                 QString("pedals-log-2026-12-07-09-05-03.csv"));
        QCOMPARE(QFileInfo(second.fileName()).fileName(),
                 QString("pedals-log-2026-12-07-09-05-03-1.csv"));
        QVERIFY(QFileInfo(first.fileName()).isAbsolute());
    }

    void aFailedWriteEndsTheLog()
    {
        FullDevice full(100);
        TelemetryLog log(0);
        QSignalSpy failed(&log, &TelemetryLog::failed);
        QVERIFY(log.startOn(Source::Pedals, &full, false).isEmpty());
        for (uint64_t t = 1; t <= 5; ++t)
            log.pedalsRecord(pedalsRecord(1, 1).data(), t);
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed[0][1].toString(), QString("No space left on device"));
        QVERIFY(!log.isOpen());
        QVERIFY(full.data().endsWith("\r\n")); // what was written stays whole
    }

    // On a disk that fills up the system takes part of a write and fails
    // the rest: the log says why, not "Unknown error".
    void aFullDiskSaysSo()
    {
        QTemporaryDir dir;
        TelemetryLog log(0);
        QSignalSpy failed(&log, &TelemetryLog::failed);
        {
            FileSizeLimit limit(100);
            QVERIFY(log.start(Source::Pedals, QDir(dir.path()), QDateTime::currentDateTime(), false)
                        .isEmpty());
            for (uint64_t t = 1; t <= 1000 && log.isOpen(); ++t)
                log.pedalsRecord(pedalsRecord(1, 1).data(), t);
        }
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed[0][1].toString(), QString("File too large"));
        QCOMPARE(QFileInfo(failed[0][0].toString()).size(), 100);
    }

    // A comma-decimal locale changes nothing in the file.
    void linesIgnoreTheLocale()
    {
        QLocale::setDefault(QLocale(QLocale::German));
        std::setlocale(LC_ALL, "de_DE.UTF-8");
        QVERIFY(telemetrycsv::statusLine(statusRecord().data(), 1, 1).contains(",12.3457,"));
        QCOMPARE(telemetrycsv::general(0.5), QString("0.5"));
        std::setlocale(LC_ALL, "C");
        QLocale::setDefault(QLocale::c());
    }
};

QTEST_GUILESS_MAIN(TestTelemetryLog)
#include "tst_telemetrylog.moc"
