// orvctl defaults --yes: the device's factory settings and profiles, as
// Factory Defaults in the window does after its question.

#include "cli/CliSession.h"
#include "cli/Commands.h"
#include "devices/ProfileDevice.h"
#include "devices/UsbDevice.h"
#include "devices/UsbDeviceOrvBootloader.h"

namespace {

class DefaultsCommand : public Command
{
public:
    QString name() const override { return QStringLiteral("defaults"); }
    QString brief() const override
    {
        return QStringLiteral("Reset the device to its factory settings");
    }
    QString summary() const override
    {
        return QStringLiteral("Reset all settings and profiles of the device to the factory's. "
                              "This cannot be undone, so it asks for --yes.");
    }

protected:
    int options() const override { return DeviceOption; }
    void addOptions(QCommandLineParser& parser) override
    {
        parser.addOption({"yes", "Yes, reset the device."});
    }

    int execute(CliSession& session, const QCommandLineParser& parser) override
    {
        if (!parser.isSet("yes"))
            return usage(session, QStringLiteral("This resets all settings and profiles and "
                                                 "cannot be undone; add --yes to go ahead."));
        session.scan();
        int code = ExitOk;
        UsbDevice* device = session.find(parser.value("device"), AnyKind, &code);
        if (!device)
            return code;
        if (auto* bootloader = qobject_cast<UsbDeviceOrvBootloader*>(device))
            bootloader->resetToFactoryDefaults();
        else
            ProfileDevice::of(device)->resetToFactoryDefaults();
        if (!session.settle(device)) {
            session.err << "The device did not take the command." << Qt::endl;
            return ExitFailed;
        }
        session.err << device->getProductName() << ": factory defaults restored." << Qt::endl;
        return ExitOk;
    }
};

} // namespace

std::unique_ptr<Command> makeDefaultsCommand()
{
    return std::make_unique<DefaultsCommand>();
}
