#include "PageRules.h"

#include <cstring>

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
    // The upper neighbour wins when both are crossed, as the slider is set
    // to the lower one first and then to the upper one.
    if (position > points[i + 1])
        return {false, points[i + 1]};
    if (position < points[i - 1])
        return {false, points[i - 1]};
    return {true, position};
}

} // namespace pagerules
