// orvctl profiles: the device's profile list, the current one marked.

#include "cli/CliSession.h"
#include "cli/Commands.h"
#include "devices/ProfileDevice.h"
#include "devices/UsbDevice.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

class ProfilesCommand : public Command
{
public:
    QString name() const override { return QStringLiteral("profiles"); }
    QString brief() const override
    {
        return QStringLiteral("Show the device's profiles, the current one marked");
    }
    QString summary() const override
    {
        return QStringLiteral("List the device's profiles; the current one is marked with *.");
    }

protected:
    int options() const override { return DeviceOption | JsonOption; }

    int execute(CliSession& session, const QCommandLineParser& parser) override
    {
        int code = ExitOk;
        const auto list = profileDevice(session, parser, &code);
        if (!list)
            return code;
        if (parser.isSet("json")) {
            QJsonArray profiles;
            for (int i = 0; i < list->profileCount(); ++i)
                profiles.append(QJsonObject{{"index", i}, {"name", list->profileName(i)}});
            session.out << QJsonDocument(QJsonObject{{"current", list->currentProfileIndex()},
                                                     {"profiles", profiles}})
                               .toJson(QJsonDocument::Indented);
            return ExitOk;
        }
        for (int i = 0; i < list->profileCount(); ++i)
            session.out << (i == list->currentProfileIndex() ? "* " : "  ") << i << '\t'
                        << list->profileName(i) << '\n';
        return ExitOk;
    }
};

} // namespace

std::unique_ptr<Command> makeProfilesCommand()
{
    return std::make_unique<ProfilesCommand>();
}
