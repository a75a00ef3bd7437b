#include "platform/PowerEvents.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace {
constexpr char Service[] = "org.freedesktop.login1";
constexpr char Path[] = "/org/freedesktop/login1";
constexpr char Manager[] = "org.freedesktop.login1.Manager";
} // namespace

PowerEvents::PowerEvents(QObject *parent) : QObject(parent)
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return;
    watching = bus.connect(QLatin1String(Service), QLatin1String(Path), QLatin1String(Manager),
                           QStringLiteral("PrepareForSleep"), this, SLOT(prepareForSleep(bool)));
    takeDelayLock();
}

void PowerEvents::takeDelayLock()
{
    QDBusMessage call = QDBusMessage::createMethodCall(QLatin1String(Service), QLatin1String(Path),
                                                       QLatin1String(Manager), QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep") << QStringLiteral("Quillnet")
         << QStringLiteral("Closing the VPN tunnel") << QStringLiteral("delay");
    // Asked without waiting: a slow or absent logind must not hold up the
    // windows. Without logind (a container, another init) there is no lock.
    auto *watcher = new QDBusPendingCallWatcher(QDBusConnection::systemBus().asyncCall(call, 5000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *answer) {
        const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *answer;
        if (reply.isValid() && awake)
            delayLock = reply.value();
        answer->deleteLater();
    });
}

void PowerEvents::prepareForSleep(bool start)
{
    awake = !start;
    if (start) {
        emit suspending();
        // Done: logind may put the machine to sleep now.
        delayLock = QDBusUnixFileDescriptor();
    } else {
        takeDelayLock();
        emit resumed();
    }
}
