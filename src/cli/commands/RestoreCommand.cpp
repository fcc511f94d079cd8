// orvctl restore: profiles saved by backup go back to their device (or to
// the one named), and the device saves them.

#include "cli/CliSession.h"
#include "cli/Commands.h"
#include "cli/Manifest.h"
#include "cli/ProfileTransfer.h"
#include "devices/ProfileDevice.h"
#include "devices/UsbDevice.h"

#include <QDir>

namespace {

class RestoreCommand : public Command
{
public:
    QString name() const override { return QStringLiteral("restore"); }
    QString brief() const override
    {
        return QStringLiteral("Put the profiles of a backup back on their devices");
    }
    QString summary() const override
    {
        return QStringLiteral("Put the profiles of a backup back on their devices. DIR is a "
                              "backup folder, or one device's folder in it. Without --device, "
                              "each device folder goes to the connected device with its serial "
                              "number; a backup of another kind of device is refused.");
    }

protected:
    int options() const override { return DeviceOption; }
    QStringList arguments() const override { return {QStringLiteral("DIR")}; }

    int execute(CliSession& session, const QCommandLineParser& parser) override
    {
        const QString dir = parser.positionalArguments().at(0);
        QStringList folders;
        if (QFileInfo::exists(QDir(dir).filePath(Manifest::FileName)))
            folders << dir;
        else
            for (const QString& sub : QDir(dir).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
                if (QFileInfo::exists(QDir(dir).filePath(sub + "/" + Manifest::FileName)))
                    folders << QDir(dir).filePath(sub);
        if (folders.isEmpty()) {
            session.err << "No backup found in " << dir << Qt::endl;
            return ExitFailed;
        }
        if (parser.isSet("device") && folders.size() > 1)
            return usage(session, QStringLiteral("With --device, name one device's folder."));

        session.scan();
        for (const QString& folder : folders) {
            Manifest manifest;
            const QString error = Manifest::read(folder, &manifest);
            if (!error.isEmpty()) {
                session.err << error << Qt::endl;
                return ExitFailed;
            }
            const int code = restore(session, parser.value("device"), folder, manifest);
            if (code != ExitOk)
                return code;
        }
        return ExitOk;
    }

private:
    int restore(CliSession& session, const QString& wanted, const QString& folder,
                const Manifest& manifest)
    {
        int code = ExitOk;
        UsbDevice* device =
            session.find(wanted.isEmpty() ? manifest.serial : wanted, ProfileKinds, &code);
        if (!device)
            return code;
        if (CliSession::kindName(device) != manifest.kind) {
            session.err << "The backup in " << folder << " is of "
                        << CliSession::describeKind(manifest.kind) << "; " << device->getPath()
                        << " is " << CliSession::describeKind(CliSession::kindName(device))
                        << ". Nothing restored." << Qt::endl;
            return ExitFailed;
        }
        const QString failure = session.load(device);
        if (!failure.isEmpty()) {
            session.err << device->getProductName() << ": " << failure << Qt::endl;
            return ExitFailed;
        }
        const auto list = ProfileDevice::of(device);
        if (!list->setProfileCount(int(manifest.files.size()))) {
            session.err << "The backup holds " << manifest.files.size() << " profiles; the device "
                        << "takes 1 to " << list->capacity() << '.' << Qt::endl;
            return ExitFailed;
        }
        for (int i = 0; i < manifest.files.size(); ++i) {
            const QString error =
                list->loadProfile(i, QDir(folder).filePath(manifest.files[i]), nullptr);
            if (!error.isEmpty()) {
                session.err << "Unable to read file " << manifest.files[i] << ": " << error
                            << Qt::endl;
                return ExitFailed;
            }
        }
        list->setCurrentProfileIndex(manifest.currentProfileIndex);
        code = saveAndVerify(session, *list);
        if (code == ExitOk)
            session.err << manifest.kind << ' ' << device->getSerialNumber() << ": "
                        << manifest.files.size() << " profiles restored from " << folder
                        << Qt::endl;
        return code;
    }
};

} // namespace

std::unique_ptr<Command> makeRestoreCommand()
{
    return std::make_unique<RestoreCommand>();
}
