// orvctl: the command-line tool for scripts. Each command drives the same
// device classes, manager and profile files as the window, on QtCore alone.

#include "CliSession.h"
#include "Command.h"

#include <QCoreApplication>

namespace {

int overview(QTextStream& stream)
{
    stream << "usage: orvctl COMMAND [options] [arguments]\n\n"
              "Commands:\n";
    for (const auto& command : Command::all())
        stream << "  " << command->name().leftJustified(10) << ' ' << command->brief() << '\n';
    stream << "\n'orvctl COMMAND --help' tells more. D (--device) is a path, a serial number or "
              "a kind:\nwheelbase, pedals, bootloader. Exit codes: 0 success, 1 failure reported "
              "by the\ndevice or a file, 2 usage error, 3 no matching device. Messages go to "
              "standard\nerror, data to standard output.\n";
    stream.flush();
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orvctl"));
    QStringList args = QCoreApplication::arguments().mid(1);
    CliSession session;
    if (args.isEmpty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help")
        return args.isEmpty() ? (overview(session.err), ExitUsage) : overview(session.out);
    const QString word = args.takeFirst();
    for (const auto& command : Command::all())
        if (command->name() == word)
            return command->run(session, args);
    session.err << "orvctl: no command \"" << word << "\"; see orvctl --help" << Qt::endl;
    return ExitUsage;
}
