// orvctl backup: every profile of every device to profile files, with a
// manifest per device (kind, serial number, versions, current profile).

#include "cli/CliSession.h"
#include "cli/Commands.h"
#include "cli/Manifest.h"
#include "devices/ProfileDevice.h"
#include "devices/UsbDevice.h"

#include <QDir>

namespace {

class BackupCommand : public Command
{
public:
    QString name() const override { return QStringLiteral("backup"); }
    QString brief() const override
    {
        return QStringLiteral("Save every profile of every device into a folder");
    }
    QString summary() const override
    {
        return QStringLiteral("Save every profile of every wheel base and set of pedals into DIR: "
                              "one folder per device with its profile files (.oprf) and a "
                              "manifest. An existing backup is never overwritten.");
    }

protected:
    QStringList arguments() const override { return {QStringLiteral("DIR")}; }

    int execute(CliSession& session, const QCommandLineParser& parser) override
    {
        session.scan();
        const QList<UsbDevice*> devices = session.devices(ProfileKinds);
        if (devices.isEmpty()) {
            session.err << "No wheel base or pedals found." << Qt::endl;
            return ExitNoDevice;
        }
        const QDir dir(parser.positionalArguments().at(0));
        for (UsbDevice* device : devices) {
            const QString failure = session.load(device);
            if (!failure.isEmpty()) {
                session.err << device->getProductName() << ": " << failure << Qt::endl;
                return ExitFailed;
            }
            const auto list = ProfileDevice::of(device);
            Manifest manifest = Manifest::of(*list);
            const QString folder = dir.filePath(manifest.folderName());
            if (QFileInfo::exists(folder)) {
                session.err << folder << " exists already; choose another folder." << Qt::endl;
                return ExitFailed;
            }
            if (!QDir().mkpath(folder)) {
                session.err << "Cannot create " << folder << Qt::endl;
                return ExitFailed;
            }
            for (int i = 0; i < list->profileCount(); ++i) {
                const QString file = Manifest::profileFileName(i);
                const QString error = list->saveProfile(i, QDir(folder).filePath(file));
                if (!error.isEmpty()) {
                    session.err << "Unable to save file: " << error << Qt::endl;
                    return ExitFailed;
                }
                manifest.files.append(file);
            }
            const QString error = manifest.write(folder);
            if (!error.isEmpty()) {
                session.err << error << Qt::endl;
                return ExitFailed;
            }
            session.err << manifest.kind << ' ' << manifest.serial << ": " << list->profileCount()
                        << " profiles saved to " << folder << Qt::endl;
        }
        return ExitOk;
    }
};

} // namespace

std::unique_ptr<Command> makeBackupCommand()
{
    return std::make_unique<BackupCommand>();
}
