#pragma once

#include <QDBusConnection>
#include <QString>

class QTextStream;

// One command of the command line, asked of the client that runs for this
// user on the session bus: prints what came of it and gives the exit code.
// The wording is stable, for scripts, and never translated.
class RemoteCommand
{
public:
    enum ExitCode
    {
        Done = 0,     // status: connected
        NotDone = 1,  // status: not connected; connect: no login begun
        NoClient = 2, // no client of this user answered
        UsageError = 64
    };

    // The commands' answers wait this long for a client that is busy.
    static constexpr int AnswerTimeoutMs = 30000;

    explicit RemoteCommand(const QDBusConnection &bus);

    // `command`: one of CommandLine::commands(). The answer goes to `out`,
    // why nothing answered to `err`.
    int run(const QString &command, QTextStream &out, QTextStream &err);

private:
    // Null when a client of this user owns the name; else why not.
    QString clientMissing();
    int printStatus(const QList<QVariant> &answer, QTextStream &out);
    static int printOutcome(const QString &outcome, QTextStream &out);

    QDBusConnection bus;
};
