// orvctl save: the device keeps its present profiles over a restart, as
// Save Settings in the window does.

#include "cli/CliSession.h"
#include "cli/Commands.h"
#include "cli/ProfileTransfer.h"
#include "devices/ProfileDevice.h"
#include "devices/UsbDevice.h"

namespace {

class SaveCommand : public Command
{
public:
    QString name() const override { return QStringLiteral("save"); }
    QString brief() const override
    {
        return QStringLiteral("Save the device's profiles to its permanent store");
    }
    QString summary() const override
    {
        return QStringLiteral("Save the device's present profiles to its permanent store.");
    }

protected:
    int options() const override { return DeviceOption; }

    int execute(CliSession& session, const QCommandLineParser& parser) override
    {
        int code = ExitOk;
        const auto list = profileDevice(session, parser, &code);
        if (!list)
            return code;
        code = saveAndVerify(session, *list);
        if (code == ExitOk)
            session.err << list->profileCount() << " profiles saved." << Qt::endl;
        return code;
    }
};

} // namespace

std::unique_ptr<Command> makeSaveCommand()
{
    return std::make_unique<SaveCommand>();
}
