// orvctl select: makes profile N the device's current one, as choosing it in
// the window does (a live update; Save Settings keeps it over a restart).

#include "cli/CliSession.h"
#include "cli/Commands.h"
#include "devices/ProfileDevice.h"
#include "devices/UsbDevice.h"
#include "devices/UsbDeviceOrvPedals.h"
#include "devices/UsbDeviceOrvWheelBase.h"

#include <QPointer>

namespace {

class SelectCommand : public Command
{
public:
    QString name() const override { return QStringLiteral("select"); }
    QString brief() const override { return QStringLiteral("Make a profile the current one"); }
    QString summary() const override
    {
        return QStringLiteral("Make profile N the device's current profile (live, as choosing it "
                              "in the window does; use save to keep it over a restart).");
    }

protected:
    int options() const override { return DeviceOption; }
    QStringList arguments() const override { return {QStringLiteral("N")}; }

    int execute(CliSession& session, const QCommandLineParser& parser) override
    {
        bool ok = false;
        const int slot = parser.positionalArguments().at(0).toInt(&ok);
        if (!ok || slot < 0)
            return usage(session, QStringLiteral("N is a profile number."));
        int code = ExitOk;
        UsbDevice* device = session.findLoaded(parser.value("device"), ProfileKinds, &code);
        if (!device)
            return code;
        const auto list = ProfileDevice::of(device);
        if (slot >= list->profileCount())
            return usage(
                session,
                QStringLiteral("The device has profiles 0 to %1.").arg(list->profileCount() - 1));
        list->setCurrentProfileIndex(slot);
        QTimer* updateTimer = nullptr;
        if (auto* wheelBase = qobject_cast<UsbDeviceOrvWheelBase*>(device)) {
            wheelBase->updateSettings();
            updateTimer = &wheelBase->updateTimer;
        } else if (auto* pedals = qobject_cast<UsbDeviceOrvPedals*>(device)) {
            pedals->updateSettings();
            updateTimer = &pedals->updateTimer;
        }
        QPointer<UsbDevice> target = device;
        // The update leaves a moment after the edit; then wait for its end.
        if (!session.waitUntil([&] { return !target || !updateTimer->isActive(); }) ||
            !session.settle(device)) {
            session.err << "The device did not take the update in time." << Qt::endl;
            return CliSession::interrupted() ? ExitInterrupted : ExitFailed;
        }
        const QString failure = session.load(device);
        if (!failure.isEmpty() || list->currentProfileIndex() != slot) {
            session.err << "The device did not make profile " << slot << " current"
                        << (failure.isEmpty() ? QString() : ": " + failure) << Qt::endl;
            return ExitFailed;
        }
        session.err << "Profile " << slot << " (" << list->profileName(slot) << ") is current."
                    << Qt::endl;
        return ExitOk;
    }
};

} // namespace

std::unique_ptr<Command> makeSelectCommand()
{
    return std::make_unique<SelectCommand>();
}
