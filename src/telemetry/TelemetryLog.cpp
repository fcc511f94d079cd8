#include "TelemetryLog.h"

#include "TelemetryCsv.h"
#include "devices/LittleEndian.h"

#include <QDateTime>
#include <QDir>

#include <algorithm>
#include <cmath>

using namespace telemetrycsv;

TelemetryLog::TelemetryLog(uint64_t startMicros, QObject* parent)
    : QObject(parent), lastLogTime(startMicros)
{
    flushTimer.setInterval(FlushIntervalMs);
    connect(&flushTimer, &QTimer::timeout, this, &TelemetryLog::flush);
}

TelemetryLog::~TelemetryLog()
{
    stop();
}

QString TelemetryLog::baseName(Source source, const QDateTime& localTime)
{
    return (source == Source::WheelBase ? QStringLiteral("wheel-log-")
                                        : QStringLiteral("pedals-log-")) +
           localTime.toString(QStringLiteral("yyyy-MM-dd-hh-mm-ss"));
}

QString TelemetryLog::start(Source source, const QDir& dir, const QDateTime& localTime,
                            bool outputModulo)
{
    stop();
    const QString base = dir.absoluteFilePath(baseName(source, localTime));
    // Two logs started within one second must not share a file: the second
    // would truncate the first.
    for (int suffix = 0;; ++suffix) {
        name = base + (suffix ? QStringLiteral("-%1").arg(suffix) : QString()) +
               QStringLiteral(".csv");
        file.setFileName(name);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            break;
        if (!file.exists() || suffix >= 10000)
            return file.errorString();
    }
    out = &file;
    const QString error = begin(source, outputModulo);
    if (!error.isEmpty()) {
        file.close();
        out = nullptr;
    }
    return error;
}

QString TelemetryLog::startOn(Source source, QIODevice* device, bool outputModulo)
{
    stop();
    name.clear();
    out = device;
    const QString error = begin(source, outputModulo);
    if (!error.isEmpty())
        out = nullptr;
    return error;
}

QString TelemetryLog::begin(Source source, bool outputModulo)
{
    outputModuloEnabled = outputModulo;
    const QByteArray header = source == Source::WheelBase ? wheelHeader(logLayout) : pedalsHeader();
    if (out->write(header) != header.size())
        return out->errorString();
    flushTimer.start();
    return QString();
}

void TelemetryLog::stop()
{
    if (!out)
        return;
    flush();
    flushTimer.stop();
    if (out == &file)
        file.close();
    out = nullptr;
}

void TelemetryLog::write(const QByteArray& bytes)
{
    if (!out || bytes.isEmpty())
        return;
    if (out->write(bytes) != bytes.size())
        fail(writeError());
    else
        ++lineCount;
}

void TelemetryLog::flush()
{
    auto* device = qobject_cast<QFileDevice*>(out);
    if (device && !device->flush())
        fail(writeError());
}

QString TelemetryLog::writeError()
{
    // A full disk first takes part of a write, which leaves no reason; the
    // rest, tried once more, fails with it.
    if (auto* device = qobject_cast<QFileDevice*>(out))
        device->flush();
    return out->errorString();
}

void TelemetryLog::fail(const QString& reason)
{
    const QString failedName = name;
    flushTimer.stop();
    if (out == &file)
        file.close();
    out = nullptr;
    emit failed(failedName, reason);
}

void TelemetryLog::wheelBaseRecord(const uint8_t* record, uint64_t readTimeMicros, uint32_t modulo)
{
    ++recordCount;
    logLayout = record[3];
    if (!out) {
        lastLogTime = readTimeMicros;
        return;
    }
    ++logRecordCounter;
    if (!outputModuloEnabled)
        modulo = 1;
    if (modulo == 0 || logRecordCounter % modulo != 0)
        return;

    const uint64_t dt = readTimeMicros - lastLogTime;
    switch (record[3]) {
    case StatusLayout:
        write(statusLine(record, readTimeMicros, dt));
        break;
    case ForceSamplesLayout: {
        // The record has room for eleven samples; a larger count would read
        // past it.
        const int samples = std::min<int>(record[7], MaxForceSamples);
        for (int i = 0; i < samples && out; ++i) {
            if (i == record[6])
                torqueInLatch = float(le::i16(record + 4)) / 100.0f;
            write(forceSampleLine(record, i, torqueInLatch, readTimeMicros, dt));
        }
        break;
    }
    case MotorTraceLayout: {
        const float angle = le::f32(record + 12);
        if (!std::isnan(angle) && angle >= 0 && angle != lastLoggedElAngle) {
            lastLoggedElAngle = angle;
            write(motorTraceLine(record, readTimeMicros));
        }
        break;
    }
    default:
        break;
    }
    lastLogTime = readTimeMicros;
}

void TelemetryLog::pedalsRecord(const uint8_t* record, uint64_t readTimeMicros)
{
    ++recordCount;
    if (!out) {
        lastLogTime = readTimeMicros;
        return;
    }
    // The reference stays where logging found it.
    write(pedalsLine(record, readTimeMicros, readTimeMicros - lastLogTime));
}
