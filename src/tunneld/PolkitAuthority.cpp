#include "tunneld/PolkitAuthority.h"

#include "vpn/TunnelServiceApi.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>

namespace {

// The user may be asked (a password dialog of their session's agent).
constexpr uint AllowUserInteraction = 1;

// (sa{sv}): the caller as polkit knows it, by its unique bus name.
QDBusArgument subjectOf(const QString &busName)
{
    QDBusArgument subject;
    subject.beginStructure();
    subject << QStringLiteral("system-bus-name") << QVariantMap{{QStringLiteral("name"), busName}};
    subject.endStructure();
    return subject;
}

QDBusArgument noDetails()
{
    QDBusArgument details;
    details.beginMap(QMetaType::fromType<QString>(), QMetaType::fromType<QString>());
    details.endMap();
    return details;
}

// (bba{ss}): is authorized, is a challenge, details; only the first counts.
bool isAuthorized(const QDBusMessage &reply)
{
    const QVariant result = reply.arguments().value(0);
    if (!result.canConvert<QDBusArgument>())
        return false;
    const QDBusArgument argument = result.value<QDBusArgument>();
    if (argument.currentSignature() != QLatin1String("(bba{ss})"))
        return false;
    bool authorized = false;
    argument.beginStructure();
    argument >> authorized;
    argument.endStructure();
    return authorized;
}

} // namespace

PolkitAuthority::PolkitAuthority(const QDBusConnection &bus, QObject *parent)
    : QObject(parent), bus(bus)
{
}

void PolkitAuthority::check(const QString &busName, const QString &action, Callback done)
{
    QDBusMessage message =
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.PolicyKit1"),
                                       QStringLiteral("/org/freedesktop/PolicyKit1/Authority"),
                                       QStringLiteral("org.freedesktop.PolicyKit1.Authority"),
                                       QStringLiteral("CheckAuthorization"));
    message << QVariant::fromValue(subjectOf(busName)) << action << QVariant::fromValue(noDetails())
            << AllowUserInteraction << QString();
    auto *watcher = new QDBusPendingCallWatcher(
        bus.asyncCall(message, TunnelServiceApi::AuthorizationTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [watcher, done = std::move(done)] {
        watcher->deleteLater();
        const QDBusMessage reply = watcher->reply();
        if (reply.type() != QDBusMessage::ReplyMessage)
            done(Answer::Failed, reply.errorName() + QStringLiteral(": ") + reply.errorMessage());
        else if (isAuthorized(reply))
            done(Answer::Authorized, QString());
        else
            done(Answer::Denied, QString());
    });
}
