#pragma once

#include "vpn/Tunnel.h"

#include <QStringList>

// A tunnel that goes where its test sends it, with no process and no root:
// it reports the states of a real tunnel in the same order and at the same
// moments (the first state of a start or a stop at once, the rest from the
// event loop), and fails, drops or restarts on command.
class ScriptedTunnel : public Tunnel
{
    Q_OBJECT

public:
    explicit ScriptedTunnel(QObject *parent = nullptr);

    // Whether a start ends up Connected by itself (the default) or stays
    // Connecting until connectNow() or fail().
    void setConnectsByItself(bool yes) { connectsByItself = yes; }
    void setServerIp(const QString &address) { serverIp = address; }

    void connectNow();
    // As the real tunnel fails: the error, then a silent stop.
    void fail(const QString &text);
    // The tunnel ends by itself without a word (OpenVPN died).
    void drop();
    // OpenVPN restarting on its own: Connecting until connectNow().
    void restart();

    // "start", "stop", "reconnect" in the order they were asked for.
    QStringList calls() const { return callLog; }
    QString config() const { return configPath; }
    QString user() const { return userName; }
    QString password() const { return userPassword; }
    QNetworkProxy proxy() const { return tunnelProxy; }

    void start() override;
    void stop(bool silent) override;
    void reconnect() override;
    void setConfig(const QString &path) override { configPath = path; }
    void setCredentials(const QString &user, const QString &password) override;
    void setProxy(const QNetworkProxy &proxy) override { tunnelProxy = proxy; }
    void setBlockOutsideTunnel(bool block) override { blockOutsideTunnel = block; }
    void setAllowLocalNetwork(bool allow) override { allowLocalNetwork = allow; }
    CnnStatus getStatus() const override { return status; }
    QString getIp() const override { return ip; }
    QString getAdapterGuid() const override { return QStringLiteral("tun0"); }
    QTime getConnectedSince() const override { return connectedSince; }

public slots:
    void systemSuspending() override;
    void systemResumed() override;

private:
    void finished();
    void report(CnnStatus next, const char *text);

    CnnStatus status = Disconnected;
    bool connectsByItself = true;
    QString serverIp = QStringLiteral("10.8.0.1");
    QString ip;
    QTime connectedSince = QTime(0, 0);
    QStringList callLog;
    QString configPath;
    QString userName;
    QString userPassword;
    QNetworkProxy tunnelProxy;
    bool blockOutsideTunnel = false;
    bool allowLocalNetwork = false;

    Q_DISABLE_COPY_MOVE(ScriptedTunnel)
};
