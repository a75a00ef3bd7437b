#include "platform/PowerEvents.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>

namespace {
const char Service[] = "org.freedesktop.login1";
const char Path[] = "/org/freedesktop/login1";
const char Manager[] = "org.freedesktop.login1.Manager";
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
    QDBusMessage call =
        QDBusMessage::createMethodCall(QLatin1String(Service), QLatin1String(Path),
                                       QLatin1String(Manager), QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep") << QStringLiteral("Quillnet")
         << QStringLiteral("Closing the VPN tunnel") << QStringLiteral("delay");
    // Without logind (a container, another init) there is just no lock.
    const QDBusReply<QDBusUnixFileDescriptor> reply =
        QDBusConnection::systemBus().call(call, QDBus::Block, 2000);
    if (reply.isValid())
        delayLock = reply.value();
}

void PowerEvents::prepareForSleep(bool start)
{
    if (start) {
        emit suspending();
        // Done: logind may put the machine to sleep now.
        delayLock = QDBusUnixFileDescriptor();
    } else {
        takeDelayLock();
        emit resumed();
    }
}
