#pragma once

// The CSV telemetry log's format: one header per source and layout, one
// line per record (several for a batch of force samples), numbers in the C
// locale whatever the user's locale, lines ending in CR LF.

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace telemetrycsv {

// The wheel base's joystick records carry one of three layouts after the
// steering axis; the pedals have one line format.
constexpr int StatusLayout = 1;
constexpr int ForceSamplesLayout = 2;
constexpr int MotorTraceLayout = 3;
// A batch of force samples has room for this many.
constexpr int MaxForceSamples = 11;

// The general format with six significant digits (printf's %g) and fixed
// notation with the given number of decimals.
QString general(double value);
QString fixed(double value, int decimals);

// Empty for a layout that has none.
QByteArray wheelHeader(int layout);
QByteArray pedalsHeader();

// One line of comma-separated fields, CR LF at the end.
QByteArray line(const QStringList& fields);

// Lines for the records of the wheel base (63 bytes from the report's
// second byte) and of the pedals. dt is the time since the reference the
// log keeps.
QByteArray statusLine(const uint8_t* record, uint64_t time, uint64_t dt);
QByteArray forceSampleLine(const uint8_t* record, int sample, float torqueIn, uint64_t time,
                           uint64_t dt);
QByteArray motorTraceLine(const uint8_t* record, uint64_t time);
QByteArray pedalsLine(const uint8_t* record, uint64_t time, uint64_t dt);

} // namespace telemetrycsv
