#include "remote/RemoteCommand.h"

#include "remote/ClientCommands.h"
#include "remote/RemoteControlApi.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QMetaEnum>
#include <QTextStream>
#include <unistd.h>

RemoteCommand::RemoteCommand(const QDBusConnection &bus) : bus(bus) {}

QString RemoteCommand::clientMissing()
{
    if (!bus.isConnected())
        return QStringLiteral("no session bus (%1)").arg(bus.lastError().message());
    const QDBusReply<uint> uid =
        bus.interface()->serviceUid(QLatin1String(RemoteControlApi::Service));
    if (!uid.isValid())
        return QStringLiteral("nothing answers as %1 on the session bus")
            .arg(QLatin1String(RemoteControlApi::Service));
    // Not one's own client: its answers would be another user's to give.
    if (uid.value() != ::getuid())
        return QStringLiteral("the one on the session bus runs as another user");
    return QString();
}

int RemoteCommand::run(const QString &command, QTextStream &out, QTextStream &err)
{
    const QString missing = clientMissing();
    if (!missing.isEmpty()) {
        err << "quillnet: Quillnet is not running: " << missing << Qt::endl;
        return NoClient;
    }
    // "status" is Status, and so on.
    const QString method = command.left(1).toUpper() + command.mid(1);
    const QDBusMessage call = QDBusMessage::createMethodCall(
        QLatin1String(RemoteControlApi::Service), QLatin1String(RemoteControlApi::Path),
        QLatin1String(RemoteControlApi::Interface), method);
    const QDBusMessage answer = bus.call(call, QDBus::Block, AnswerTimeoutMs);
    if (answer.type() != QDBusMessage::ReplyMessage || answer.arguments().isEmpty()) {
        err << "quillnet: Quillnet did not answer: " << answer.errorMessage() << Qt::endl;
        return NoClient;
    }
    if (method == QLatin1String("Status"))
        return printStatus(answer.arguments(), out);
    return printOutcome(answer.arguments().constFirst().toString(), out);
}

int RemoteCommand::printStatus(const QList<QVariant> &answer, QTextStream &out)
{
    const QString state = answer.value(0).toString();
    const QString server = answer.value(1).toString();
    const QString location = answer.value(2).toString();
    const bool block = answer.value(3).toBool();
    const bool localNetwork = answer.value(4).toBool();

    out << "state: " << state << Qt::endl;
    out << "server: ";
    if (server.isEmpty() && location.isEmpty())
        out << "none";
    else if (location.isEmpty() || server.isEmpty())
        out << server << location;
    else
        out << server << " (" << location << ")";
    out << Qt::endl;
    out << "protection: ";
    if (state == ClientCommands::stateName(Disconnected))
        out << "none";
    else if (!block)
        out << "block off";
    else
        out << "block on" << (localNetwork ? ", local network allowed" : "");
    out << Qt::endl;
    return state == ClientCommands::stateName(Connected) ? Done : NotDone;
}

int RemoteCommand::printOutcome(const QString &outcome, QTextStream &out)
{
    bool known = false;
    using Outcome = ClientCommands::Outcome;
    const int value = QMetaEnum::fromType<Outcome>().keyToValue(outcome.toLatin1(), &known);
    switch (known ? Outcome(value) : Outcome::Busy) {
    case Outcome::Connecting:
        out << "Connecting." << Qt::endl;
        return Done;
    case Outcome::AlreadyUp:
        out << "Already connected or connecting." << Qt::endl;
        return Done;
    case Outcome::LoginFormShown:
        out << "No account is remembered: the login window is open for one." << Qt::endl;
        return NotDone;
    case Outcome::Busy:
        out << "Busy with a login or an update; nothing done." << Qt::endl;
        return NotDone;
    case Outcome::Disconnecting:
        out << "Disconnecting." << Qt::endl;
        return Done;
    case Outcome::AlreadyDown:
        out << "Not connected." << Qt::endl;
        return Done;
    case Outcome::Quitting:
        out << "Quitting." << Qt::endl;
        return Done;
    }
    return NotDone;
}
