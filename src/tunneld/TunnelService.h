#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QHash>
#include <QObject>
#include <functional>
#include <optional>

class PolkitAuthority;
class QDBusServiceWatcher;
class QTimer;
class TunnelProtection;
class TunnelRun;
struct ServerEndpoint;
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
    // polkit questions waiting at once, for all callers together.
    static constexpr int MaxAuthorizing = 4;

    // `runFolder` holds the runs' files, `stateFolder` what must be undone
    // after a crash.
    TunnelService(const QDBusConnection &bus, const QString &runFolder, const QString &stateFolder,
                  int idleMs, QObject *parent = nullptr);

    // Registers the object and then the name; false when either is taken.
    bool publish();

signals:
    // Nothing has run or been asked for over the idle time.
    void idle();

public slots:
    void Start(const QByteArray &configuration, const QByteArray &certificate,
               const QString &proxyHost, ushort proxyPort, bool proxyAsksCredentials,
               bool blockOutsideTunnel, bool allowLocalNetwork);
    // Lifts the protection of the last tunnel: its owner may at once,
    // anyone else (a client started after the owner crashed) as polkit says.
    QStringList Release();
    void Write(const QByteArray &bytes);
    bool EchoOff();
    void Stop();
    // The protected client's user asked to open the network for a sign-in
    // page for `seconds`.
    void OpenForSignIn(uint seconds);

private:
    bool busy() const;
    // Running, deciding, or protecting: no idle exit then, since a new
    // instance would not know what the protection holds.
    bool needed() const;
    void protect(const QDBusMessage &request, uint uid, const QList<ServerEndpoint> &servers,
                 const QString &proxyHost, quint16 proxyPort, bool block, bool localNetwork);
    // The caller's user, or none (the error sent) when polkit may not be
    // asked for it now.
    std::optional<uint> beginAuthorizing(const QDBusMessage &request);
    void endAuthorizing(const QString &caller);
    // The user whose protection stands, when known.
    std::optional<uint> protectionHolder() const;
    void release(const QDBusMessage &request);
    // Null when the sender owns the running tunnel; else the error is sent.
    TunnelRun *ownedRun();
    void startRun(const QDBusMessage &request);
    // Answers `request` with the error, and removes the run and its files.
    void failRun(const QDBusMessage &request, const QString &error);
    void discardRun();
    void replyError(const QDBusMessage &request, const char *name, const QString &text);
    void replyNotAuthorized(const QDBusMessage &request, const char *action, const QString &detail);
    void sendToOwner(const char *signal, const QVariantList &arguments);
    // To the owner, or between two runs to the client the protection is for.
    void sendToProtected(const char *signal, const QVariantList &arguments);
    void sendTo(const QString &client, const char *signal, const QVariantList &arguments);
    void callerGone(const QString &name);
    void runFinished(int exitCode, bool crashed);
    void becomeIdleLater();

    QDBusConnection bus;
    QString runFolder;
    PolkitAuthority *authority;
    QDBusServiceWatcher *callerWatcher;
    TunnelProtection *protection;
    // The client whose tunnel the protection is for, and its user.
    QString protectedFor;
    uint protectedUid = 0;
    // Callers polkit is deciding about, with their users.
    QHash<QString, uint> authorizing;
    // The Release being answered, and what it undid.
    QDBusMessage releaseRequest;
    QStringList releaseNotes;
    QTimer *idleTimer;
    int idleMs;
    // Protection failed: exit as soon as idle, not after the idle time.
    bool startAnew = false;
    // Prepared while polkit decides, running once it said yes.
    TunnelRun *run = nullptr;
    // The caller whose Start polkit is deciding; it holds the machine's
    // one tunnel meanwhile.
    QString pendingCaller;
    // The caller whose tunnel runs; empty once it has gone away.
    QString owner;
};
