// orvctl monitor: the device's live telemetry in the window's CSV line
// formats, to a file or to standard output.

#include "cli/CliSession.h"
#include "cli/Commands.h"
#include "devices/UsbDevice.h"
#include "devices/UsbDeviceOrvPedals.h"
#include "devices/UsbDeviceOrvWheelBase.h"
#include "telemetry/TelemetryLog.h"

#include <QDateTime>
#include <QFile>
#include <QPointer>

#include <cstdio>
#include <limits>

namespace {

uint64_t nowMicros()
{
    return uint64_t(QDateTime::currentMSecsSinceEpoch()) * 1000;
}

class MonitorCommand : public Command
{
public:
    QString name() const override { return QStringLiteral("monitor"); }
    QString brief() const override { return QStringLiteral("Write live telemetry as CSV lines"); }
    QString summary() const override
    {
        return QStringLiteral("Write the device's live telemetry as CSV lines (the formats of "
                              "the window's logs) to standard output or a file, until Ctrl-C or "
                              "for the given time.");
    }

protected:
    int options() const override { return DeviceOption; }
    void addOptions(QCommandLineParser& parser) override
    {
        parser.addOption({"csv", "Write to FILE instead of standard output.", "FILE"});
        parser.addOption({"seconds", "Stop after S seconds.", "S"});
        parser.addOption({"modulo", "Log only every N-th wheel base record.", "N"});
    }

    int execute(CliSession& session, const QCommandLineParser& parser) override
    {
        double seconds = 0;
        if (parser.isSet("seconds")) {
            bool ok = false;
            seconds = parser.value("seconds").toDouble(&ok);
            if (!ok || seconds <= 0)
                return usage(session, QStringLiteral("--seconds takes a positive number."));
        }
        uint32_t modulo = 1;
        if (parser.isSet("modulo")) {
            bool ok = false;
            modulo = parser.value("modulo").toUInt(&ok);
            if (!ok || modulo < 1 || modulo > 1000000000)
                return usage(session, QStringLiteral("--modulo takes 1 to 1000000000."));
        }
        session.scan();
        int code = ExitOk;
        UsbDevice* device = session.find(parser.value("device"), ProfileKinds, &code);
        if (!device)
            return code;

        QFile output;
        if (parser.isSet("csv")) {
            output.setFileName(parser.value("csv"));
            if (!output.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
                session.err << "Cannot write " << output.fileName() << ": " << output.errorString()
                            << Qt::endl;
                return ExitFailed;
            }
        } else {
            session.out.flush();
            output.open(stdout, QIODevice::WriteOnly);
        }

        TelemetryLog log(nowMicros());
        QString failure;
        QObject::connect(&log, &TelemetryLog::failed,
                         [&](const QString&, const QString& reason) { failure = reason; });
        const bool wheel = qobject_cast<UsbDeviceOrvWheelBase*>(device) != nullptr;
        const auto source = wheel ? TelemetryLog::Source::WheelBase : TelemetryLog::Source::Pedals;
        bool started = false;
        // The first record tells the wheel base's layout, and so the header.
        auto take = [&](const uint8_t* record, uint64_t time) {
            if (!started && failure.isEmpty()) {
                wheel ? log.wheelBaseRecord(record, time, modulo) : log.pedalsRecord(record, time);
                failure = log.startOn(source, &output, modulo > 1);
                started = true;
                return;
            }
            wheel ? log.wheelBaseRecord(record, time, modulo) : log.pedalsRecord(record, time);
        };
        QObject context;
        if (auto* wheelBase = qobject_cast<UsbDeviceOrvWheelBase*>(device))
            QObject::connect(wheelBase, &UsbDeviceOrvWheelBase::onJoystickUpdate, &context,
                             [&](UsbDevice*, OrvUsbWheelBaseJoystickUpdate* u, uint64_t t) {
                                 take(reinterpret_cast<const uint8_t*>(u), t);
                             });
        else if (auto* pedals = qobject_cast<UsbDeviceOrvPedals*>(device))
            QObject::connect(pedals, &UsbDeviceOrvPedals::onJoystickUpdate, &context,
                             [&](UsbDevice*, OrvUsbPedalsJoystickUpdate* u, uint64_t t) {
                                 take(reinterpret_cast<const uint8_t*>(u), t);
                             });

        QPointer<UsbDevice> target = device;
        const int limitMs = seconds > 0 ? int(seconds * 1000) : std::numeric_limits<int>::max();
        session.waitUntil([&] { return !target || !failure.isEmpty(); }, limitMs);
        log.stop();
        output.close();
        session.err << log.records() << " records, " << log.linesWritten() << " lines" << Qt::endl;
        if (!failure.isEmpty()) {
            session.err << "Writing failed: " << failure << Qt::endl;
            return ExitFailed;
        }
        if (!target) {
            session.err << "The device left." << Qt::endl;
            return ExitFailed;
        }
        return ExitOk;
    }
};

} // namespace

std::unique_ptr<Command> makeMonitorCommand()
{
    return std::make_unique<MonitorCommand>();
}
