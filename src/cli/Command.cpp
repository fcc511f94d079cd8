#include "Command.h"

#include "CliSession.h"
#include "Commands.h"
#include "devices/ProfileDevice.h"

#include <QCoreApplication>
#include <QRegularExpression>

int Command::run(CliSession& session, const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(summary());
    const QCommandLineOption help({"h", "help"}, "Show this help.");
    const QCommandLineOption timeout("timeout",
                                     "Longest wait for a device, in seconds (default 5).", "S");
    parser.addOption(help);
    parser.addOption(timeout);
    if (options() & DeviceOption)
        parser.addOption({"device",
                          "The device: a path, a serial number or a kind (wheelbase, "
                          "pedals, bootloader).",
                          "D"});
    if (options() & ProfileOption)
        parser.addOption({"profile", "The profile's number (default: the current one).", "N"});
    if (options() & JsonOption)
        parser.addOption({"json", "Print the data as JSON."});
    addOptions(parser);
    for (const QString& argument : arguments())
        parser.addPositionalArgument(argument, QString());

    if (!parser.parse(QStringList{QStringLiteral("orvctl ") + name()} + args))
        return usage(session, parser.errorText());
    if (parser.isSet(help)) {
        QString text = parser.helpText();
        // The parser names the program by its path; commands have two words.
        text.replace(QRegularExpression(QStringLiteral("^Usage: \\S+")),
                     QStringLiteral("Usage: orvctl ") + name());
        session.out << text;
        return ExitOk;
    }
    if (parser.isSet(timeout)) {
        bool ok = false;
        const double seconds = parser.value(timeout).toDouble(&ok);
        if (!ok || seconds <= 0 || seconds > 3600)
            return usage(session, QStringLiteral("--timeout takes a number of seconds."));
        session.timeoutMs = int(seconds * 1000);
    }
    if (parser.positionalArguments().size() != arguments().size())
        return usage(session, arguments().isEmpty()
                                  ? QStringLiteral("This command takes no arguments.")
                                  : QStringLiteral("Expected: %1.").arg(arguments().join(' ')));
    return execute(session, parser);
}

int Command::usage(CliSession& session, const QString& message) const
{
    session.err << "orvctl " << name() << ": " << message << Qt::endl
                << "See: orvctl " << name() << " --help" << Qt::endl;
    return ExitUsage;
}

std::unique_ptr<ProfileDevice>
Command::profileDevice(CliSession& session, const QCommandLineParser& parser, int* code) const
{
    UsbDevice* device =
        session.findLoaded(parser.value(QStringLiteral("device")), ProfileKinds, code);
    return device ? ProfileDevice::of(device) : nullptr;
}

int Command::chosenProfile(CliSession& session, const QCommandLineParser& parser,
                           const ProfileDevice& device, int* code) const
{
    int slot = device.currentProfileIndex();
    if (parser.isSet(QStringLiteral("profile"))) {
        bool ok = false;
        slot = parser.value(QStringLiteral("profile")).toInt(&ok);
        if (!ok)
            slot = -1;
    }
    if (slot >= 0 && slot < device.profileCount())
        return slot;
    *code = usage(
        session, QStringLiteral("The device has profiles 0 to %1.").arg(device.profileCount() - 1));
    return -1;
}

std::vector<std::unique_ptr<Command>> Command::all()
{
    std::vector<std::unique_ptr<Command>> commands;
    commands.push_back(makeListCommand());
    commands.push_back(makeProfilesCommand());
    commands.push_back(makeExportCommand());
    commands.push_back(makeImportCommand());
    commands.push_back(makeBackupCommand());
    commands.push_back(makeRestoreCommand());
    commands.push_back(makeSelectCommand());
    commands.push_back(makeCenterCommand());
    commands.push_back(makeSaveCommand());
    commands.push_back(makeDefaultsCommand());
    commands.push_back(makeFlashCommand());
    commands.push_back(makeMonitorCommand());
    return commands;
}
