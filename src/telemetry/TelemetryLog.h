#pragma once

// The CSV telemetry log of the wheel base or the pedals: one file at a time,
// every record written (or every n-th of the wheel base's, with output
// modulo), nothing ever overwritten, buffered and flushed at least once a
// second. A write that fails ends the log and says why.

#include <QFile>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <memory>

class QDateTime;
class QDir;

class TelemetryLog : public QObject
{
    Q_OBJECT

public:
    enum class Source
    {
        WheelBase,
        Pedals,
    };

    static constexpr int FlushIntervalMs = 1000;

    // startMicros: the reference for dt until the first record arrives.
    explicit TelemetryLog(uint64_t startMicros, QObject* parent = nullptr);
    ~TelemetryLog() override;

    // "wheel-log-" or "pedals-log-", the local time as yyyy-MM-dd-hh-mm-ss
    // and ".csv"; "-1", "-2", ... before the extension when taken already.
    static QString baseName(Source source, const QDateTime& localTime);

    // Opens a new file in dir and writes its header. Null on success, else
    // why the file could not be created (fileName() names it either way).
    QString start(Source source, const QDir& dir, const QDateTime& localTime, bool outputModulo);
    // Logs onto an open device instead (standard output, say); not owned.
    QString startOn(Source source, QIODevice* device, bool outputModulo);
    void stop();
    bool isOpen() const { return out != nullptr; }
    QString fileName() const { return name; }

    // Every joystick record of either device (63 bytes from the report's
    // second byte), logged or not: they keep the time reference, and the
    // wheel base's tell which layout a new log starts with.
    void wheelBaseRecord(const uint8_t* record, uint64_t readTimeMicros, uint32_t modulo);
    void pedalsRecord(const uint8_t* record, uint64_t readTimeMicros);

    uint64_t records() const { return recordCount; }
    // Lines of records written, headers not counted.
    uint64_t linesWritten() const { return lineCount; }

signals:
    // A write failed: the log is closed; what was written stays.
    void failed(const QString& fileName, const QString& reason);

private:
    QString begin(Source source, bool outputModulo);
    void write(const QByteArray& bytes);
    void flush();
    QString writeError();
    void fail(const QString& reason);

    QFile file;
    QIODevice* out = nullptr;
    QString name;
    QTimer flushTimer;

    uint64_t lastLogTime;
    uint32_t logRecordCounter = 0;
    uint16_t logLayout = 0;
    bool outputModuloEnabled = false;
    float torqueInLatch = 0.0f;
    float lastLoggedElAngle = -1.0f;
    uint64_t recordCount = 0;
    uint64_t lineCount = 0;
};
