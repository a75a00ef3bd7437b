#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QString>

class ClientCommands;

// The running client's commands on the user's session bus, for the command
// line (see RemoteControlApi.h). A session bus is normally the user's
// alone, but a bus is only an address: each call is answered only when the
// caller runs as the same user as this process.
class RemoteControl : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "net.quillnet.Client")

public:
    // Goes with `commands`.
    RemoteControl(ClientCommands *commands, const QDBusConnection &bus);

    // Registers the object and then the name; false (see errorString())
    // when the bus is not there or either is taken.
    bool publish();
    QString errorString() const { return error; }

public slots:
    QString Connect();
    QString Disconnect();
    QString Quit();
    QString Status(QString &server, QString &location, bool &block, bool &localNetwork);

private:
    // False, with the error sent, when the caller is another user.
    bool callerMayAsk();

    ClientCommands *const commands;
    QDBusConnection bus;
    QString error;

    Q_DISABLE_COPY_MOVE(RemoteControl)
};
