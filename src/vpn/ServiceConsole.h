#pragma once

#include "vpn/TunnelConsole.h"

#include <QDBusConnection>
#include <QStringList>

class QDBusMessage;
class QDBusPendingCallWatcher;
class QDBusServiceWatcher;

// OpenVPN run by the privileged tunnel service on the system bus, for a
// client without CAP_NET_ADMIN. The configuration and its certificate go
// to the service as bytes (it trusts no path of ours); OpenVPN's console
// comes back as Output signals meant for this connection alone, each with
// the terminal's echo state after it, and the answers go out with Write. Only the service instance
// that accepted the start is listened to.
class ServiceConsole : public TunnelConsole
{
    Q_OBJECT

public:
    explicit ServiceConsole(QObject *parent = nullptr);
    ServiceConsole(const QDBusConnection &bus, QObject *parent = nullptr);

    void start(const TunnelLaunch &launch) override;
    // Has the bus start the service, so that the start finds it running.
    void prepare() override;
    bool isRunning() const override { return running; }
    QByteArray readAll() override;
    void write(const QByteArray &bytes) override;
    bool isEchoOff() override;
    // The service escalates a stop to a kill by itself.
    void stop() override;
    void kill() override { stop(); }
    bool waitForFinished(int msecs) override;
    void release() override;
    bool isReleasing() const override { return releasing; }
    void openForSignIn(int seconds) override;

private slots:
    void onOutput(const QByteArray &bytes, bool echoOff, const QDBusMessage &message);
    void onFinished(int exitCode, bool crashed, const QDBusMessage &message);
    void onProtection(const QString &line, const QDBusMessage &message);
    void onProtectionFailed(const QString &detail, const QDBusMessage &message);
    void onNetworkChanged(const QString &detail, const QDBusMessage &message);
    void onSignIn(bool open, const QDBusMessage &message);
    void onProtectionLifted(const QString &detail, const QDBusMessage &message);

private:
    QDBusMessage call(const char *method) const;
    void onStartReply(QDBusPendingCallWatcher *watcher);
    void fail(StartFailure failure, const QString &detail);
    void endRun();
    void onReleased();

    QDBusConnection bus;
    QDBusServiceWatcher *serviceWatcher;
    // The unique name of the service instance running our OpenVPN; empty
    // while the start is being decided.
    QString runner;
    // The instance that protects our runs: it speaks of the protection also
    // between two of them, until the release.
    QString protector;
    QByteArray output;
    // What came before the start's answer said who the runner is: the
    // answer and the first signals may be handed over in either order.
    struct EarlyOutput
    {
        QString sender;
        QByteArray bytes;
        bool echoOff;
    };
    QList<EarlyOutput> earlyOutput;
    QString earlyFinish;    // the sender of a Finished that came that early
    QStringList lostOwners; // instances that left the bus before the answer came
    // The echo state the last Output or EchoOff answer told.
    bool echoOff = false;
    bool echoAsked = false; // an EchoOff call is on its way
    bool running = false;
    QDBusPendingCallWatcher *releasing = nullptr; // a Release on its way
    bool stopWanted = false;                      // asked to stop before the start was decided
};
