#pragma once

// The window's pure rules: arithmetic and text formats shared by the pages,
// kept free of widgets so each can be checked on its own.

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace pagerules {

// The rim angle in whole degrees for an axis value and rotation range: half
// the range to each side, integer arithmetic truncating toward zero.
int rimAngle(int16_t axisValue, int32_t rotationDegrees);

// "75%" for a percent label, "7" for a number label.
QString percentLabel(int value);
QString numberLabel(int value);
// A 16-bit fraction (65535 is 100 %) as one decimal and "%": 32767 is "50.0%".
QString fractionLabel(uint32_t value);
// A centre offset in turns as degrees: -0.125 is "-45.00 deg".
QString centerOffsetLabel(float turns);

// The response curve stays non-decreasing. For point i (0 to 5) moved to
// position, with the pedal's stored points: the position to store, or the
// value the slider must be set back to (store is false then). Setting the
// slider back comes here again with that value, which then either stores or
// leaves the slider where it is, whatever the stored points are.
struct CurvePointEdit
{
    bool store;
    int value;
};
CurvePointEdit clampCurvePoint(const uint8_t (&points)[6], int i, int position);

// Pedal force adjustments are 16-bit fractions (65535 is 100 %). A spin box
// value in tenths of a percent as the fraction to store, truncated.
int forceFromTenths(int tenths);
// A stored force as the percentage it stands for (shown again after a
// refused edit), and as showing a profile fills the box (a hair above).
double forcePercent(uint16_t stored);
double shownForcePercent(uint16_t stored);

// The calibration wizard's channel detection: the first of X, Y, Z that is
// connected and whose raw reading lies more than 3000 from its rest reading,
// or NoChannel.
constexpr uint8_t NoChannel = 0xFF;
uint8_t movedChannel(const uint32_t (&raw)[3], const uint32_t (&rest)[3],
                     const uint8_t (&connected)[3]);

// The wheel base's fault bits 0 to 8 as their texts joined by ", " (empty
// for none; higher bits mean nothing here), and its motor state as text (a
// state without a name as its number).
QString faultsText(uint32_t bits);
QString motorStateText(int16_t state);

} // namespace pagerules
