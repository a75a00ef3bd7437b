#include "platform/TrayHost.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QTimer>

TrayHost::TrayHost(const QDBusConnection &bus, QObject *parent, int answerWithinMs,
                   int askAgainAfterMs)
    : QObject(parent), bus(bus), answerWithinMs(answerWithinMs), askAgain(new QTimer(this))
{
    if (!bus.isConnected()) {
        current = Absent;
        return;
    }
    askAgain->setSingleShot(true);
    askAgain->setInterval(askAgainAfterMs);
    connect(askAgain, &QTimer::timeout, this, &TrayHost::ask);
    // A watcher that comes, goes or is replaced is asked anew; the bus
    // daemon tells, the watcher itself is not needed for that.
    auto *owners = new QDBusServiceWatcher(QLatin1String(WatcherService), bus,
                                           QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(owners, &QDBusServiceWatcher::serviceOwnerChanged, this, &TrayHost::ask);
    ask();
}

void TrayHost::ask()
{
    askAgain->stop();
    if (pending) {
        // An answer from a former owner says nothing about the new one.
        pending->disconnect(this);
        pending->deleteLater();
    }
    QDBusMessage get = QDBusMessage::createMethodCall(
        QLatin1String(WatcherService), QLatin1String(WatcherPath),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QLatin1String(WatcherService) << QStringLiteral("IsStatusNotifierHostRegistered");
    // Not auto-started: a tray that is not running now is no tray.
    get.setAutoStartService(false);
    pending = new QDBusPendingCallWatcher(bus.asyncCall(get, answerWithinMs), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, &TrayHost::takeAnswer);
}

void TrayHost::takeAnswer(QDBusPendingCallWatcher *answer)
{
    pending = nullptr;
    answer->deleteLater();
    const QDBusMessage reply = answer->reply();
    if (reply.type() == QDBusMessage::ReplyMessage) {
        const QVariant value = reply.arguments().value(0);
        settle(Answered, value.value<QDBusVariant>().variant().toBool());
        return;
    }
    const QDBusError error(reply);
    if (error.name() == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner")) {
        settle(Absent, false);
        return;
    }
    switch (error.type()) {
    case QDBusError::ServiceUnknown:
        settle(Absent, false);
        return;
    case QDBusError::NoReply:
    case QDBusError::Timeout:
    case QDBusError::TimedOut:
    case QDBusError::Disconnected:
        settle(Unresponsive, false);
        askAgain->start();
        return;
    default:
        // It answered, though not with a host: it is alive, the tray is not.
        settle(Answered, false);
        return;
    }
}

void TrayHost::settle(State state, bool hostRegistered)
{
    if (state == current && hostRegistered == registered)
        return;
    current = state;
    registered = hostRegistered;
    emit stateChanged(current);
}
