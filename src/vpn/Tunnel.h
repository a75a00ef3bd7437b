#pragma once

#include "vpn/CnnStatus.h"

#include <QNetworkProxy>
#include <QObject>
#include <QString>
#include <QTime>

// The tunnel as the rest of the client sees it: what starts and stops it,
// the state it reports and where it leads. Which kind runs (OpenVPN on a
// terminal in this process, a scripted one in tests) is decided by whoever
// constructs it; the build decides which kinds exist.
class Tunnel : public QObject
{
    Q_OBJECT

public:
    // Where a network that wants its sign-in page stands: nothing to say,
    // the tunnel has not come back for a while with the block on (the
    // network may need a sign-in), or the user opened it for one.
    enum class SignIn
    {
        None,
        Needed,
        Open
    };
    Q_ENUM(SignIn)

    // What keeps traffic from going around the tunnel: the block outside
    // it, and whether the subnets the machine is on pass that block.
    struct Protection
    {
        bool block = false;
        bool localNetwork = false;
    };

    explicit Tunnel(QObject *parent = nullptr);

    virtual void start() = 0;
    // A silent stop leaves the status line alone (a failure text stays).
    virtual void stop(bool silent) = 0;
    // Down and up again; the state stays Reconnecting until the new start.
    virtual void reconnect() = 0;

    // A start is likely soon: a tunnel that takes a while to be ready may
    // get ready now, without starting anything.
    virtual void prepare() {}

    virtual void setConfig(const QString &path) = 0;
    virtual void setCredentials(const QString &user, const QString &password) = 0;
    // A proxy without host name means none.
    virtual void setProxy(const QNetworkProxy &proxy) = 0;
    // From the next start on, nothing but the tunnel gets out until the
    // user logs out or quits, also while it reconnects or is down.
    virtual void setBlockOutsideTunnel(bool block) { Q_UNUSED(block) }
    // With the block, the subnets the machine is on pass too; a tunnel that
    // is up is made anew with the new choice.
    virtual void setAllowLocalNetwork(bool allow) { Q_UNUSED(allow) }
    // The user's click while signInChanged() said Needed: names and the web
    // pass outside the tunnel for a few minutes.
    virtual void openForSignIn() {}

    virtual CnnStatus getStatus() const = 0;
    virtual QString getIp() const = 0;
    // The tunnel device of the last run (Windows: the adapter's GUID).
    virtual QString getAdapterGuid() const = 0;
    virtual QTime getConnectedSince() const = 0;
    // The protection in force: what the running tunnel was started (or made
    // anew) with. It stands until the user logs out, also while the tunnel
    // reconnects or the machine sleeps; none once Disconnected.
    Protection protection() const;

signals:
    void statusChanged(CnnStatus status, QString text);
    void error(QString text);
    void signInChanged(Tunnel::SignIn state);

public slots:
    // The machine is about to sleep / has woken up.
    virtual void systemSuspending() = 0;
    virtual void systemResumed() = 0;

protected:
    // A run starts, or is made anew, with this protection.
    void protectWith(bool block, bool localNetwork);

private:
    Protection inForce;

    Q_DISABLE_COPY_MOVE(Tunnel)
};
