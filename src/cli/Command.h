#pragma once

// One orvctl command: its name, what it does, its options and arguments,
// and running it. The base class parses the command line and answers
// --help; each command adds what it needs.

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class CliSession;
class ProfileDevice;

class Command
{
public:
    virtual ~Command() = default;

    virtual QString name() const = 0;
    // One line for the overview of all commands.
    virtual QString brief() const = 0;
    // What --help says the command does.
    virtual QString summary() const { return brief(); }

    // args: what follows the command word. Returns the exit code.
    int run(CliSession& session, const QStringList& args);

    static std::vector<std::unique_ptr<Command>> all();

protected:
    // What the command takes besides --help and --timeout.
    enum Options
    {
        DeviceOption = 1,  // --device D
        JsonOption = 2,    // --json
        ProfileOption = 4, // --profile N
    };
    virtual int options() const { return 0; }
    virtual void addOptions(QCommandLineParser&) {}
    // Names of the positional arguments ("FILE"), all required.
    virtual QStringList arguments() const { return {}; }
    virtual int execute(CliSession& session, const QCommandLineParser& parser) = 0;

    // Usage error: the message, then the help hint; returns the exit code.
    int usage(CliSession& session, const QString& message) const;
    // The wheel base or pedals that --device names, with its settings read;
    // null (the reason shown, *code set) when there is none.
    std::unique_ptr<ProfileDevice> profileDevice(CliSession& session,
                                                 const QCommandLineParser& parser, int* code) const;
    // The profile --profile names (the current one when not given), or -1
    // after a usage message (*code set) when the device has no such profile.
    int chosenProfile(CliSession& session, const QCommandLineParser& parser,
                      const ProfileDevice& device, int* code) const;
};
