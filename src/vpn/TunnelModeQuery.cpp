#include "vpn/TunnelModeQuery.h"

#include "vpn/TunnelServiceApi.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>

TunnelModeQuery::TunnelModeQuery(const QDBusConnection &bus, const QByteArray &procStatus,
                                 QObject *parent)
    : QObject(parent), bus(bus), procStatus(procStatus)
{
}

void TunnelModeQuery::ask()
{
    if (!bus.isConnected()) {
        QMetaObject::invokeMethod(
            this, [this] { settle(false); }, Qt::QueuedConnection);
        return;
    }
    const QString name = QLatin1String(TunnelServiceApi::Service);
    askBus("NameHasOwner", {name}, [this, name](const QVariant &owned) {
        if (owned.toBool()) {
            settle(true);
            return;
        }
        askBus("ListActivatableNames", {}, [this, name](const QVariant &names) {
            settle(names.toStringList().contains(name));
        });
    });
}

void TunnelModeQuery::askBus(const char *method, const QVariantList &arguments,
                             const std::function<void(const QVariant &)> &then)
{
    QDBusMessage message = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QLatin1String(method));
    message.setArguments(arguments);
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(message, QuestionTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [then](QDBusPendingCallWatcher *answer) {
                answer->deleteLater();
                const QDBusMessage reply = answer->reply();
                then(reply.type() == QDBusMessage::ReplyMessage ? reply.arguments().value(0)
                                                                : QVariant());
            });
}

void TunnelModeQuery::settle(bool serviceOnBus)
{
    emit chosen(TunnelMode::decide(serviceOnBus, procStatus));
}
