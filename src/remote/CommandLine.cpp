#include "remote/CommandLine.h"

#include "core/ApplicationNames.h"
#include "platform/BusProbe.h"
#include "remote/RemoteCommand.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QTextStream>
#include <cstdio>

namespace {

// How long a bus daemon gets to answer at all; a local one answers in well
// under a millisecond.
constexpr int BusAnswerMs = 1000;

// Qt's own options that take a value (QGuiApplication, QApplication, X11):
// known here so that their values are not taken for a command.
const char *const QtValueOptions[] = {
    "platform",        "platformpluginpath", "platformtheme", "plugin",
    "qwindowgeometry", "qwindowicon",        "qwindowtitle",  "session",
    "display",         "geometry",           "style",         "stylesheet"};

} // namespace

QStringList CommandLine::commands()
{
    return {QStringLiteral("status"), QStringLiteral("connect"), QStringLiteral("disconnect"),
            QStringLiteral("quit")};
}

CommandLine::CommandLine(const QStringList &arguments)
{
    parser.setApplicationDescription(QStringLiteral(
        "Without a command, starts the Quillnet client (one copy for each user).\n"
        "A command goes to the client that runs for this user, over the session bus:\n"
        "  status      prints its state, server and protection;\n"
        "              exit code 0 when connected, 1 otherwise\n"
        "  connect     logs in with the remembered account, or opens the login window\n"
        "  disconnect  logs out\n"
        "  quit        ends the client\n"
        "Exit code 2: no client runs for this user on the session bus."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("status, connect, disconnect or quit"),
                                 QStringLiteral("[command]"));
    // Qt takes "-platform" as well as "--platform".
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const char *name : QtValueOptions) {
        QCommandLineOption option(QLatin1String(name), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }

    const bool parsed = parser.parse(arguments);
    const QStringList positional = parser.positionalArguments();
    // Qt's own options are no business of the command line's.
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"))) {
        asked = Help;
    } else if (parser.isSet(QStringLiteral("version"))) {
        asked = Version;
    } else if (positional.isEmpty()) {
        // Options of Qt's own that the client does not know of go on to it.
        asked = StartClient;
    } else if (!parsed) {
        asked = Invalid;
        error = parser.errorText();
    } else if (positional.size() > 1) {
        asked = Invalid;
        error = QStringLiteral("one command at a time, not \"%1\"").arg(positional.join(u' '));
    } else if (!commands().contains(positional.first())) {
        asked = Invalid;
        error = QStringLiteral("\"%1\" is no command").arg(positional.first());
    } else {
        asked = Command;
        word = positional.first();
    }
}

int CommandLine::answer() const
{
    // A session bus that took the connection and never answers would hold
    // a command for 25 s: such a bus is left out, and the command finds no
    // client.
    for (const QString &note : BusProbe::setAsideSilentBuses(BusAnswerMs))
        std::fprintf(stderr, "%s\n", qPrintable(note));
    // The usage line names the program as the user calls it, whatever the
    // launcher ran.
    int argc = 1;
    char name[] = "quillnet";
    char *argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    setApplicationNames();
    QTextStream out(stdout);
    QTextStream err(stderr);
    switch (asked) {
    case Help:
        out << parser.helpText();
        return RemoteCommand::Done;
    case Version:
        out << QCoreApplication::applicationName() << ' ' << QCoreApplication::applicationVersion()
            << Qt::endl;
        return RemoteCommand::Done;
    case Command:
        return RemoteCommand(QDBusConnection::sessionBus()).run(word, out, err);
    case Invalid:
    case StartClient:
        break;
    }
    err << "quillnet: " << error << "\nTry 'quillnet --help'." << Qt::endl;
    return RemoteCommand::UsageError;
}
