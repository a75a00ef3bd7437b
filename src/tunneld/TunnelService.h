#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>

class PolkitAuthority;
class QDBusServiceWatcher;
class QTimer;
class TunnelRun;
struct StartRequest;

// The tunnel service's object on the system bus: runs OpenVPN for a caller
// that polkit allows, relays its console to that caller alone, and ends it
// when the caller goes away. One tunnel on the machine at a time; the bus
// connection that started it owns it. Every failure is an error reply, and
// the service serves on.
class TunnelService : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "net.quillnet.Tunnel")

public:
    // A caller that vanishes leaves OpenVPN this long to end on SIGTERM
    // (or on the terminal's hang-up) before it is killed.
    static constexpr int OwnerGoneKillMs = 4000;

    TunnelService(const QDBusConnection &bus, const QString &runFolder, int idleMs,
                  QObject *parent = nullptr);

    // Registers the object and then the name; false when either is taken.
    bool publish();

signals:
    // Nothing has run or been asked for over the idle time.
    void idle();

public slots:
    void Start(const QByteArray &configuration, const QByteArray &certificate,
               const QString &proxyHost, ushort proxyPort, bool proxyAsksCredentials);
    void Write(const QByteArray &bytes);
    bool EchoOff();
    void Stop();

private:
    bool busy() const;
    // Null when the sender owns the running tunnel; else the error is sent.
    TunnelRun *ownedRun();
    void authorized(const QDBusMessage &request, bool allowed, const QString &detail);
    void startRun(const QDBusMessage &request);
    // Answers `request` with the error, and removes the run and its files.
    void failRun(const QDBusMessage &request, const QString &error);
    void discardRun();
    void replyError(const QDBusMessage &request, const char *name, const QString &text);
    void sendToOwner(const char *signal, const QVariantList &arguments);
    void callerGone(const QString &name);
    void runFinished(int exitCode, bool crashed);
    void becomeIdleLater();

    QDBusConnection bus;
    QString runFolder;
    PolkitAuthority *authority;
    QDBusServiceWatcher *callerWatcher;
    QTimer *idleTimer;
    // Prepared while polkit decides, running once it said yes.
    TunnelRun *run = nullptr;
    // The caller whose Start polkit is deciding; it holds the machine's
    // one tunnel meanwhile.
    QString pendingCaller;
    // The caller whose tunnel runs; empty once it has gone away.
    QString owner;
};
