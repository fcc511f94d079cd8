// orvctl import: a profile file replaces one of the device's profiles, and
// the list is saved to the device, as the window's load and save do.

#include "cli/CliSession.h"
#include "cli/Commands.h"
#include "cli/ProfileTransfer.h"
#include "devices/ProfileDevice.h"
#include "devices/UsbDevice.h"

namespace {

class ImportCommand : public Command
{
public:
    QString name() const override { return QStringLiteral("import"); }
    QString brief() const override
    {
        return QStringLiteral("Replace a profile by a .oprf file and save it to the device");
    }
    QString summary() const override
    {
        return QStringLiteral("Replace one of the device's profiles by a profile file (.oprf) and "
                              "save the profiles to the device.");
    }

protected:
    int options() const override { return DeviceOption | ProfileOption; }
    QStringList arguments() const override { return {QStringLiteral("FILE")}; }

    int execute(CliSession& session, const QCommandLineParser& parser) override
    {
        int code = ExitOk;
        UsbDevice* device = session.findLoaded(parser.value("device"), ProfileKinds, &code);
        if (!device)
            return code;
        const auto list = ProfileDevice::of(device);
        const int slot = profileOption(parser, list->currentProfileIndex());
        if (slot < 0 || slot >= list->profileCount())
            return usage(
                session,
                QStringLiteral("The device has profiles 0 to %1.").arg(list->profileCount() - 1));
        QString name;
        const QString error = list->loadProfile(slot, parser.positionalArguments().at(0), &name);
        if (!error.isEmpty()) {
            session.err << "Unable to read file: " << error << Qt::endl;
            return ExitFailed;
        }
        code = saveAndVerify(session, *list);
        if (code == ExitOk)
            session.err << "Profile " << slot << " is now " << name << "; saved to the device."
                        << Qt::endl;
        return code;
    }
};

} // namespace

std::unique_ptr<Command> makeImportCommand()
{
    return std::make_unique<ImportCommand>();
}
