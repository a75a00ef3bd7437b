#include "vpn/TunnelEndpoints.h"

#include "vpn/TunnelConfigCheck.h"

namespace {

struct Remote
{
    QString host;
    int port = 0;  // 0: the configuration's "port"
    QString proto; // empty: the configuration's "proto"
};

bool isTcp(const QString &proto)
{
    return proto.startsWith(QLatin1String("tcp"));
}

int portOf(const QString &text)
{
    bool ok = false;
    const int port = text.toInt(&ok);
    return ok && port > 0 && port <= 65535 ? port : 0;
}

} // namespace

QList<ServerEndpoint> TunnelEndpoints::fromConfiguration(const QByteArray &configuration)
{
    QList<Remote> remotes;
    int defaultPort = 1194;
    QString defaultProto = QStringLiteral("udp");
    QString insideBlock;
    for (const QByteArray &raw : configuration.split('\n')) {
        const QString line = QString::fromLatin1(raw).trimmed();
        if (!insideBlock.isEmpty()) {
            if (line == insideBlock)
                insideBlock.clear();
            continue;
        }
        if (line.startsWith(QLatin1Char('<')) && line.endsWith(QLatin1Char('>')) &&
            !line.startsWith(QLatin1String("</"))) {
            insideBlock = QStringLiteral("</") + line.mid(1);
            continue;
        }
        const std::optional<QStringList> words = TunnelConfigCheck::words(line);
        if (!words || words->isEmpty())
            continue;
        const QString &directive = words->first();
        if (directive == QLatin1String("remote") && words->size() >= 2 &&
            remotes.size() < MaxEndpoints) {
            remotes.append(
                {words->at(1), words->size() >= 3 ? portOf(words->at(2)) : 0, words->value(3)});
        } else if ((directive == QLatin1String("port") || directive == QLatin1String("rport")) &&
                   words->size() == 2 && portOf(words->at(1))) {
            defaultPort = portOf(words->at(1));
        } else if (directive == QLatin1String("proto") && words->size() == 2) {
            defaultProto = words->at(1);
        }
    }
    QList<ServerEndpoint> endpoints;
    for (const Remote &remote : std::as_const(remotes)) {
        const ServerEndpoint endpoint{remote.host, quint16(remote.port ? remote.port : defaultPort),
                                      isTcp(remote.proto.isEmpty() ? defaultProto : remote.proto)};
        if (!endpoints.contains(endpoint))
            endpoints.append(endpoint);
    }
    return endpoints;
}
