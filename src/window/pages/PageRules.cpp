#include "PageRules.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstring>
#include <iterator>

namespace pagerules {

int rimAngle(int16_t axisValue, int32_t rotationDegrees)
{
    // Wide arithmetic: a device may store any range, and the product of an
    // out-of-range value must not overflow.
    return int((int64_t(axisValue / 2) * rotationDegrees) / 32767);
}

QString percentLabel(int value)
{
    return QString::number(value) + QLatin1Char('%');
}

QString numberLabel(int value)
{
    return QString::number(value);
}

QString fractionLabel(uint32_t value)
{
    const float percent = float(value) / 65535.0f * 100.0f;
    return QString::number(double(percent), 'f', 1) + QLatin1Char('%');
}

QString centerOffsetLabel(float turns)
{
    const float degrees = turns * 360.0f;
    return QString::number(double(degrees), 'f', 2) + QStringLiteral(" deg");
}

CurvePointEdit clampCurvePoint(const uint8_t (&points)[6], int i, int position)
{
    if (i == 0)
        return position > points[1] ? CurvePointEdit{false, points[1]}
                                    : CurvePointEdit{true, position};
    if (i == 5)
        return position < points[4] ? CurvePointEdit{false, points[4]}
                                    : CurvePointEdit{true, position};
    const int lower = points[i - 1];
    const int upper = points[i + 1];
    if (position >= lower && position <= upper)
        return {true, position};
    // Neighbours stored out of order leave no place between them: the point
    // keeps what it has. Sending the slider to either neighbour would bounce
    // it to the other one and back without end.
    if (lower > upper)
        return {false, points[i]};
    return {false, position < lower ? lower : upper};
}

int forceFromTenths(int tenths)
{
    // value × 65535 / 100 truncated, with the value's one decimal kept exact.
    return int(int64_t(tenths) * 65535 / 1000);
}

double forcePercent(uint16_t stored)
{
    return double(stored) / 65535.0 * 100.0;
}

double shownForcePercent(uint16_t stored)
{
    return (double(stored) * 100.0 + 100.0) / 65535.0;
}

uint8_t movedChannel(const uint32_t (&raw)[3], const uint32_t (&rest)[3],
                     const uint8_t (&connected)[3])
{
    constexpr int64_t Threshold = 3000;
    for (uint8_t channel = 0; channel < 3; ++channel) {
        // A signed 32-bit difference, taken wide so its magnitude fits.
        const auto difference = int64_t(int32_t(raw[channel] - rest[channel]));
        if (connected[channel] != 0 && (difference > Threshold || -difference > Threshold))
            return channel;
    }
    return NoChannel;
}

QString faultsText(uint32_t bits)
{
    static const char* const Faults[] = {
        "Encoder error",           "Alignment error", "Reference error", "Brake overtemp",
        "Mechanical limits error", "Overcurrent",     "Overvoltage",     "Undervoltage",
        "Electrical stop",
    };
    QStringList set;
    for (uint32_t bit = 0; bit < std::size(Faults); ++bit)
        if (bits & (1u << bit))
            set << QCoreApplication::translate("ORV_wheel_tool", Faults[bit]);
    return set.join(QStringLiteral(", "));
}

QString motorStateText(int16_t state)
{
    static const char* const States[] = {"Uninitialized", "Stopped", "Alignment",
                                         "Fault",         "Running", "Locked Test"};
    if (state >= 0 && size_t(state) < std::size(States))
        return QCoreApplication::translate("ORV_wheel_tool", States[state]);
    return QString::number(state);
}

} // namespace pagerules
