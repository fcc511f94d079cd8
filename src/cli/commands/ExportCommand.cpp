// orvctl export: one profile of the device to a profile file.

#include "cli/CliSession.h"
#include "cli/Commands.h"
#include "devices/ProfileDevice.h"
#include "devices/UsbDevice.h"

namespace {

class ExportCommand : public Command
{
public:
    QString name() const override { return QStringLiteral("export"); }
    QString brief() const override { return QStringLiteral("Save a profile to a .oprf file"); }
    QString summary() const override
    {
        return QStringLiteral("Save one of the device's profiles to a profile file (.oprf).");
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
        const QString file = parser.positionalArguments().at(0);
        const QString error = list->saveProfile(slot, file);
        if (!error.isEmpty()) {
            session.err << "Unable to save file: " << error << Qt::endl;
            return ExitFailed;
        }
        session.err << "Profile " << slot << " (" << list->profileName(slot) << ") saved to "
                    << file << Qt::endl;
        return ExitOk;
    }
};

} // namespace

std::unique_ptr<Command> makeExportCommand()
{
    return std::make_unique<ExportCommand>();
}
