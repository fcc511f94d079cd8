#include "TelemetryCsv.h"

#include "devices/LittleEndian.h"

#include <QStringList>

#include <charconv>

namespace telemetrycsv {

namespace {

QString number(uint64_t value)
{
    return QString::number(qulonglong(value));
}

QString number(int64_t value)
{
    return QString::number(qlonglong(value));
}

int8_t i8(const uint8_t* p)
{
    return int8_t(*p);
}

int32_t i32(const uint8_t* p)
{
    return int32_t(le::u32(p));
}

} // namespace

QString general(double value)
{
    char text[32];
    const auto result =
        std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6);
    return QString::fromLatin1(text, int(result.ptr - text));
}

QString fixed(double value, int decimals)
{
    char text[400];
    const auto result =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    if (result.ec != std::errc())
        return QString::number(value, 'f', decimals);
    return QString::fromLatin1(text, int(result.ptr - text));
}

QByteArray wheelHeader(int layout)
{
    switch (layout) {
    case StatusLayout:
        return "Time,dt,SteeringWheelAngle %,Torque IN %,Torque OUT %,Ticks,MaxMotorCurrent,"
               "PsuCurrent,MotorCurrent,PsuTemp,MotorTemp,BrakeTemp,PowerstageTemp\r\n";
    case ForceSamplesLayout:
        return "Time,dt,SteeringWheelAngle %,Torque IN %,Torque OUT %, Torque Actual %,Rotor "
               "Pos\r\n";
    case MotorTraceLayout:
        return "Time,Ticks,MechAngle,ElAngle,ElAngleEncoder,PwmU,PwmV,PwmW,HallU,HallV,HallW,"
               "HallPSU\r\n";
    default:
        return QByteArray();
    }
}

QByteArray pedalsHeader()
{
    return "Time,dt,x,y,z,x_raw,y_raw,z_raw\r\n";
}

QByteArray line(const QStringList& fields)
{
    return fields.join(QLatin1Char(',')).toUtf8() + "\r\n";
}

QByteArray statusLine(const uint8_t* record, uint64_t time, uint64_t dt)
{
    // The status record starts at byte 4 of the joystick record.
    const uint8_t* s = record + 4;
    return line({number(time), number(dt), fixed(double(le::f32(s + 9)), 4),
                 general(double(le::f32(s + 17))), fixed(double(le::f32(s + 21)), 4),
                 number(uint64_t(le::u32(s + 1))), fixed(double(s[41] / 10.0f), 1),
                 fixed(double(i8(s + 42) / 10.0f), 1), fixed(double(i8(s + 43) / 5.0f), 1),
                 number(uint64_t(s[44])), number(uint64_t(s[45])), number(uint64_t(s[46])),
                 number(uint64_t(s[47]))});
}

QByteArray forceSampleLine(const uint8_t* record, int sample, float torqueIn, uint64_t time,
                           uint64_t dt)
{
    const float angle = float(le::i16(record)) * (1.0f / 32768.0f) * 100.0f;
    const float out = float(le::i16(record + 8 + 2 * sample)) / 100.0f;
    const float actual = float(le::i16(record + 30 + 2 * sample)) / 100.0f;
    return line({number(time), number(dt), general(double(angle)), general(double(torqueIn)),
                 general(double(out)), general(double(actual)),
                 general(double(le::f32(record + 52)))});
}

QByteArray motorTraceLine(const uint8_t* record, uint64_t time)
{
    QStringList fields{number(time), number(uint64_t(le::u32(record + 4)))};
    for (int offset = 8; offset <= 36; offset += 4)
        fields << general(double(le::f32(record + offset)));
    const float hallW = -le::f32(record + 32) - le::f32(record + 36);
    fields << general(double(hallW)) << general(double(le::f32(record + 40)));
    return line(fields);
}

QByteArray pedalsLine(const uint8_t* record, uint64_t time, uint64_t dt)
{
    QStringList fields{number(time), number(dt)};
    for (int offset = 0; offset <= 4; offset += 2)
        fields << number(uint64_t(le::u16(record + offset)));
    // Raw readings as the device sends them, centre offset included.
    for (int offset = 10; offset <= 18; offset += 4)
        fields << number(int64_t(i32(record + offset)));
    return line(fields);
}

} // namespace telemetrycsv
