#include "ResolvedStandIn.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QFile>
#include <QHostAddress>
#include <net/if.h>
#include <sys/socket.h>

namespace {

const char InvalidArgs[] = "org.freedesktop.DBus.Error.InvalidArgs";

// "2:10.8.0.1"; empty for bytes that are no address of the family.
QString serverText(int family, const QByteArray &bytes)
{
    if (family == AF_INET && bytes.size() == 4) {
        const auto *b = reinterpret_cast<const uchar *>(bytes.constData());
        return QStringLiteral("2:") +
               QHostAddress(quint32(b[0]) << 24 | quint32(b[1]) << 16 | quint32(b[2]) << 8 | b[3])
                   .toString();
    }
    if (family == AF_INET6 && bytes.size() == 16)
        return QStringLiteral("10:") +
               QHostAddress(reinterpret_cast<const quint8 *>(bytes.constData())).toString();
    return QString();
}

} // namespace

ResolvedStandIn::ResolvedStandIn(const QString &recordFile) : recordFile(recordFile) {}

QStringList ResolvedStandIn::calls() const
{
    QMutexLocker locked(&lock);
    return recorded;
}

void ResolvedStandIn::clear()
{
    QMutexLocker locked(&lock);
    recorded.clear();
}

bool ResolvedStandIn::handleMessage(const QDBusMessage &message, const QDBusConnection &connection)
{
    static const QStringList methods = {
        QStringLiteral("SetLinkDNS"), QStringLiteral("SetLinkDomains"),
        QStringLiteral("SetLinkDefaultRoute"), QStringLiteral("RevertLink")};
    if (message.interface() != QLatin1String("org.freedesktop.resolve1.Manager") ||
        !methods.contains(message.member()))
        return false;
    QString errorName, errorText;
    const QString line = describe(message, &errorName, &errorText);
    if (line.isEmpty()) {
        // resolved forgets a link's settings when the link goes; a revert
        // that comes after is answered so, and still tells that it came.
        if (message.member() == QLatin1String("RevertLink") &&
            errorName == QLatin1String("org.freedesktop.resolve1.NoSuchLink"))
            record(QStringLiteral("RevertLink %1 gone").arg(message.arguments().value(0).toInt()));
        connection.send(message.createErrorReply(errorName, errorText));
        return true;
    }
    record(line);
    connection.send(message.createReply());
    return true;
}

QString ResolvedStandIn::describe(const QDBusMessage &message, QString *errorName,
                                  QString *errorText) const
{
    static const QHash<QString, QString> signatures = {
        {QStringLiteral("SetLinkDNS"), QStringLiteral("ia(iay)")},
        {QStringLiteral("SetLinkDomains"), QStringLiteral("ia(sb)")},
        {QStringLiteral("SetLinkDefaultRoute"), QStringLiteral("ib")},
        {QStringLiteral("RevertLink"), QStringLiteral("i")}};
    *errorName = QLatin1String(InvalidArgs);
    if (message.signature() != signatures.value(message.member())) {
        *errorText = QStringLiteral("Invalid arguments '%1'").arg(message.signature());
        return QString();
    }
    const int ifindex = message.arguments().at(0).toInt();
    char name[IF_NAMESIZE];
    if (ifindex <= 0 || !::if_indextoname(unsigned(ifindex), name)) {
        *errorName = QStringLiteral("org.freedesktop.resolve1.NoSuchLink");
        *errorText = QStringLiteral("Link %1 not known").arg(ifindex);
        return QString();
    }
    QStringList words = {message.member(), QString::number(ifindex)};
    const QVariant second = message.arguments().value(1);
    if (message.member() == QLatin1String("SetLinkDNS")) {
        const QDBusArgument servers = second.value<QDBusArgument>();
        servers.beginArray();
        while (!servers.atEnd()) {
            int family = 0;
            QByteArray bytes;
            servers.beginStructure();
            servers >> family >> bytes;
            servers.endStructure();
            words.append(serverText(family, bytes));
            if (words.last().isEmpty()) {
                *errorText = QStringLiteral("Invalid address size");
                return QString();
            }
        }
        servers.endArray();
    } else if (message.member() == QLatin1String("SetLinkDomains")) {
        const QDBusArgument domains = second.value<QDBusArgument>();
        domains.beginArray();
        while (!domains.atEnd()) {
            QString domain;
            bool routingOnly = false;
            domains.beginStructure();
            domains >> domain >> routingOnly;
            domains.endStructure();
            if (domain.isEmpty() || domain.contains(QLatin1Char(' ')) ||
                domain.contains(QLatin1Char(':'))) {
                *errorText = QStringLiteral("Invalid search domain %1").arg(domain);
                return QString();
            }
            words.append(domain + (routingOnly ? QLatin1String(":true") : QLatin1String(":false")));
        }
        domains.endArray();
    } else if (message.member() == QLatin1String("SetLinkDefaultRoute")) {
        words.append(second.toBool() ? QStringLiteral("true") : QStringLiteral("false"));
    }
    return words.join(QLatin1Char(' '));
}

void ResolvedStandIn::record(const QString &line)
{
    QMutexLocker locked(&lock);
    recorded.append(line);
    if (recordFile.isEmpty())
        return;
    QFile file(recordFile);
    if (file.open(QIODevice::WriteOnly | QIODevice::Append))
        file.write(line.toUtf8() + '\n');
}
