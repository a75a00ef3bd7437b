#pragma once

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

// What the command line asks of this start of the program: the client
// itself (no command: every argument is Qt's, as before there was a command
// line), a word of help, the version, or a command for the client that
// runs already; and the answer to all but the first. Parsed and answered
// without a window, so that only the client itself ever needs a display.
class CommandLine
{
public:
    enum Request
    {
        StartClient,
        Help,
        Version,
        Command,
        Invalid
    };

    // `arguments` as the program got them, its own name first.
    explicit CommandLine(const QStringList &arguments);

    Request request() const { return asked; }
    // With Command: one of commands().
    QString command() const { return word; }
    // With Invalid: what is wrong, in one line.
    QString errorText() const { return error; }
    // Everything but StartClient: prints the answer (a command's from the
    // running client, over the session bus) and gives the exit code (see
    // RemoteCommand::ExitCode). Makes the process's application object.
    int answer() const;

    static QStringList commands();

private:
    QCommandLineParser parser;
    Request asked = StartClient;
    QString word;
    QString error;
};
