#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

// A real OpenVPN 2.6 server (openvpn_server.sh) in a network namespace of its
// own, reached from the root namespace over a veth pair: TCP, user name and
// password only, a throw-away CA. Needs root; see isAvailable().
//
// The work directory belongs to the caller and must outlive the peer: the
// server keeps its state there, and stop() needs it to clean up.
class OpenVpnServerPeer
{
public:
    ~OpenVpnServerPeer();

    // Root, working network namespaces, openvpn and the peer scripts.
    static bool isAvailable();

    // Options as the script takes them, e.g. {"--users", "alice:secret1,bob:pw2"}.
    bool start(const QString &workDirectory, const QStringList &options = {});
    void stop();

    QString serverAddress() const { return values.value(QStringLiteral("SERVER_ADDRESS")); }
    quint16 port() const { return quint16(values.value(QStringLiteral("SERVER_PORT")).toUInt()); }
    // A port at the server address where nothing listens.
    quint16 refusedPort() const
    {
        return quint16(values.value(QStringLiteral("REFUSED_PORT")).toUInt());
    }
    QString caFile() const { return values.value(QStringLiteral("CA_FILE")); }
    // A client configuration that expects the CA as "cert.crt" next to it.
    QString clientConfig() const { return values.value(QStringLiteral("CLIENT_CONFIG")); }
    // Greeting, CA certificate and client configuration, as the service sends them.
    QByteArray configBody() const;
    QString serverLog() const;
    QString errorString() const { return error; }

private:
    QString workDir;
    QHash<QString, QString> values;
    QString error;
};
