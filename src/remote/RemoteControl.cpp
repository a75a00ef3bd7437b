#include "remote/RemoteControl.h"

#include "remote/ClientCommands.h"
#include "remote/RemoteControlApi.h"

#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusReply>
#include <QMetaEnum>
#include <unistd.h>

namespace {

QString outcomeKey(ClientCommands::Outcome outcome)
{
    return QString::fromLatin1(
        QMetaEnum::fromType<ClientCommands::Outcome>().valueToKey(int(outcome)));
}

} // namespace

RemoteControl::RemoteControl(ClientCommands *commands, const QDBusConnection &bus)
    : QObject(commands), commands(commands), bus(bus)
{
}

bool RemoteControl::publish()
{
    if (!bus.isConnected()) {
        error = bus.lastError().message();
        return false;
    }
    if (!bus.registerObject(QLatin1String(RemoteControlApi::Path), this,
                            QDBusConnection::ExportAllSlots)) {
        error = QStringLiteral("the object path is taken");
        return false;
    }
    if (!bus.registerService(QLatin1String(RemoteControlApi::Service))) {
        error = bus.lastError().message();
        bus.unregisterObject(QLatin1String(RemoteControlApi::Path));
        return false;
    }
    return true;
}

bool RemoteControl::callerMayAsk()
{
    const QDBusReply<uint> uid = connection().interface()->serviceUid(message().service());
    if (uid.isValid() && uid.value() == ::getuid())
        return true;
    sendErrorReply(QDBusError::AccessDenied,
                   QStringLiteral("Quillnet takes commands from the user who runs it alone"));
    return false;
}

QString RemoteControl::Connect()
{
    return callerMayAsk() ? outcomeKey(commands->connectNow()) : QString();
}

QString RemoteControl::Disconnect()
{
    return callerMayAsk() ? outcomeKey(commands->disconnectNow()) : QString();
}

QString RemoteControl::Quit()
{
    return callerMayAsk() ? outcomeKey(commands->quit()) : QString();
}

QString RemoteControl::Status(QString &server, QString &location, bool &block, bool &localNetwork)
{
    if (!callerMayAsk())
        return QString();
    const ClientCommands::Status status = commands->status();
    server = status.server;
    location = status.location;
    block = status.protection.block;
    localNetwork = status.protection.localNetwork;
    return ClientCommands::stateName(status.state);
}
