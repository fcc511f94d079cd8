// orvctl flash: writes a firmware image. A wheel base or pedals are sent to
// their bootloader first; after the update the application comes back and
// its new version is printed. Every wait has a time limit.

#include "cli/CliSession.h"
#include "cli/Commands.h"
#include "devices/ProfileDevice.h"
#include "devices/UsbDevice.h"
#include "devices/UsbDeviceOrvBootloader.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPointer>

#include <cstdio>
#include <unistd.h>

namespace {

// How long a device may be off the bus while it restarts.
constexpr int RestartTimeoutMs = 15000;

class FlashCommand : public Command
{
public:
    QString name() const override { return QStringLiteral("flash"); }
    QString brief() const override
    {
        return QStringLiteral("Write a firmware image, through the bootloader");
    }
    QString summary() const override
    {
        return QStringLiteral("Write the firmware image FILE (.fw) to a device, through its "
                              "bootloader, and print the version it comes back with.");
    }

protected:
    int options() const override { return DeviceOption; }
    QStringList arguments() const override { return {QStringLiteral("FILE")}; }

    int execute(CliSession& session, const QCommandLineParser& parser) override
    {
        const QString fileName = parser.positionalArguments().at(0);
        QFile file(fileName);
        // Refused from its size, before a byte is read or sent.
        if (file.exists() && file.size() > UsbDeviceOrvBootloader::MaxImageSize) {
            session.err << "Firmware image too large: " << file.size() << " bytes; at most "
                        << UsbDeviceOrvBootloader::MaxImageSize << " bytes can be written."
                        << Qt::endl;
            return ExitFailed;
        }
        if (!file.open(QIODevice::ReadOnly)) {
            session.err << "Unable to open file: " << file.errorString() << Qt::endl;
            return ExitFailed;
        }
        const QByteArray image = file.readAll();

        session.scan();
        int code = ExitOk;
        UsbDevice* device = session.find(parser.value("device"), AnyKind, &code);
        if (!device)
            return code;
        const QString serial = device->getSerialNumber();
        // Devices are deleted when they leave, at any turn of the event loop.
        QPointer<UsbDeviceOrvBootloader> bootloader = qobject_cast<UsbDeviceOrvBootloader*>(device);
        if (!bootloader) {
            session.err << "Restarting " << device->getProductName() << " into its bootloader"
                        << Qt::endl;
            ProfileDevice::of(device)->enterBootloader();
            bootloader = qobject_cast<UsbDeviceOrvBootloader*>(
                arrival(session, device, serial, BootloaderKind));
            if (!bootloader) {
                session.err << "No bootloader appeared." << Qt::endl;
                return CliSession::interrupted() ? ExitInterrupted : ExitFailed;
            }
        }
        code = update(session, bootloader, image);
        if (code != ExitOk)
            return code;

        UsbDevice* application = arrival(session, bootloader.data(), serial, ProfileKinds);
        if (!application) {
            session.err << "The device did not come back after the update." << Qt::endl;
            return CliSession::interrupted() ? ExitInterrupted : ExitFailed;
        }
        const QString failure = session.load(application);
        if (!failure.isEmpty()) {
            session.err << application->getProductName() << ": " << failure << Qt::endl;
            return ExitFailed;
        }
        const OrvUsbDeviceInfo info = ProfileDevice::of(application)->deviceInfo();
        session.out << application->getProductName() << " firmware " << info.firmwareVersion()
                    << '\n';
        return ExitOk;
    }

private:
    // Waits for the device to leave and for one of the given kinds to come
    // (the same device under its other identity: same serial number).
    UsbDevice* arrival(CliSession& session, QPointer<UsbDevice> old, const QString& serial,
                       int kinds)
    {
        UsbDevice* found = nullptr;
        session.waitUntil(
            [&] {
                if (old)
                    return false;
                session.scan();
                for (UsbDevice* d : session.devices(kinds))
                    if (serial.isEmpty() || d->getSerialNumber() == serial)
                        found = d;
                return found != nullptr;
            },
            RestartTimeoutMs);
        return found;
    }

    int update(CliSession& session, UsbDeviceOrvBootloader* bootloader, const QByteArray& image)
    {
        const QPointer<UsbDeviceOrvBootloader> target = bootloader;
        bool completed = false;
        QString failure;
        int chunk = 0;
        int chunks = 0;
        QElapsedTimer sinceProgress;
        sinceProgress.start();
        const bool terminal = ::isatty(fileno(stderr));
        int shownPercent = -1;
        QObject context;
        QObject::connect(bootloader, &UsbDeviceOrvBootloader::onFirmwareUpdateProgress, &context,
                         [&](int current, int total) {
                             chunk = current;
                             chunks = total;
                             sinceProgress.restart();
                             const int percent = total ? current * 100 / total : 100;
                             if (percent == shownPercent ||
                                 (!terminal && percent % 10 != 0 && current != total))
                                 return;
                             shownPercent = percent;
                             showProgress(session, terminal, current, total, percent);
                         });
        QObject::connect(bootloader, &UsbDeviceOrvBootloader::onUpdateCompleted, &context,
                         [&](UsbDevice*) { completed = true; });
        QObject::connect(bootloader, &UsbDeviceOrvBootloader::onUpdateFailed, &context,
                         [&](UsbDevice*, const QString& message) { failure = message; });
        bootloader->updateFirmware(image);
        // A device that stops answering is asked again every 600 ms without
        // end; here it gets the time limit from its last progress.
        session.waitUntil(
            [&] {
                return completed || !failure.isEmpty() || !target ||
                       sinceProgress.elapsed() > session.timeoutMs;
            },
            24 * 3600 * 1000);
        if (terminal)
            session.err << Qt::endl;
        if (completed) {
            session.err << "Update completed successfully!" << Qt::endl;
            return ExitOk;
        }
        if (!failure.isEmpty())
            session.err << failure << Qt::endl;
        else if (!target)
            session.err << "The bootloader left during the update, at chunk " << chunk << " of "
                        << chunks << '.' << Qt::endl;
        else if (CliSession::interrupted())
            session.err << "Interrupted at chunk " << chunk << " of " << chunks
                        << "; the bootloader waits for a new update." << Qt::endl;
        else
            session.err << "The bootloader stopped answering at chunk " << chunk << " of " << chunks
                        << "; it waits for a new update." << Qt::endl;
        return CliSession::interrupted() ? ExitInterrupted : ExitFailed;
    }

    static void showProgress(CliSession& session, bool terminal, int current, int total,
                             int percent)
    {
        if (!terminal) {
            session.err << "Writing firmware: " << percent << "% (" << current << " of " << total
                        << " chunks)" << Qt::endl;
            return;
        }
        constexpr int Width = 40;
        const int filled = percent * Width / 100;
        session.err << "\rWriting firmware [" << QString(filled, QLatin1Char('#'))
                    << QString(Width - filled, QLatin1Char(' ')) << "] " << percent << "% ("
                    << current << '/' << total << ")";
        session.err.flush();
    }
};

} // namespace

std::unique_ptr<Command> makeFlashCommand()
{
    return std::make_unique<FlashCommand>();
}
