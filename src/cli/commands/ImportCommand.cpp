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
        const auto list = profileDevice(session, parser, &code);
        if (!list)
            return code;
        const int slot = chosenProfile(session, parser, *list, &code);
        if (slot < 0)
            return code;
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
