#pragma once

#include "vpn/TunnelLaunch.h"

#include <QByteArray>
#include <QObject>
#include <QString>

// OpenVPN's console as VPNConnection sees it: started with a launch, read
// and written as bytes, asked to stop. Where OpenVPN runs (on a terminal of
// this process, or in the privileged tunnel service) is the implementation's
// business; the state machine on top stays the same.
class TunnelConsole : public QObject
{
    Q_OBJECT

public:
    // Why a start came to nothing. Texts are chosen where they are shown.
    enum class StartFailure
    {
        ProgramFailed,  // OpenVPN (or its terminal) could not be started
        NotAuthorized,  // the system refused the permission to connect
        Refused,        // the configuration or another argument was refused
        Busy,           // another tunnel runs on this machine
        ServiceMissing, // the tunnel service cannot be reached
        Unprotected,    // traffic outside the tunnel could not be blocked
    };
    Q_ENUM(StartFailure)

    using QObject::QObject;

    // Starts a run; readyRead() and finished() follow. A start that fails is
    // reported through startFailed(), possibly before this returns, and no
    // finished() follows it.
    virtual void start(const TunnelLaunch &launch) = 0;
    // A start is likely soon (a login has begun): a console that takes a
    // while to be ready, such as a service the bus starts on demand, gets
    // ready now. Nothing runs and nothing is reported.
    virtual void prepare() {}
    // From start() until finished() or startFailed().
    virtual bool isRunning() const = 0;

    // Takes everything OpenVPN has written and nobody has read yet.
    virtual QByteArray readAll() = 0;
    // Bytes to OpenVPN's console, as typed on its terminal.
    virtual void write(const QByteArray &bytes) = 0;
    // The console's echo flag right now: a password is typed only once
    // OpenVPN has switched echo off.
    virtual bool isEchoOff() = 0;

    // Ends OpenVPN with as little harm as will do; finished() follows.
    virtual void stop() = 0;
    // Ends it for sure.
    virtual void kill() = 0;
    // The user logged out or quits: the block and the DNS settings of the
    // tunnel's protection go (also those a crashed client left), and
    // traffic takes its usual ways again. Asynchronous; a console that is
    // deleted waits a moment for it to be done.
    virtual void release() {}
    // The user's word that the network may need a sign-in page: names and
    // the web pass outside the tunnel for `seconds` while the block holds
    // the rest; signInChanged() tells when the opening is in place and gone.
    virtual void openForSignIn(int seconds) { Q_UNUSED(seconds) }
    // A release() has not yet emitted released().
    virtual bool isReleasing() const { return false; }
    // Blocks (the event loop running) until a release is done, for at most
    // `msecs`: for a client that quits.
    void waitForRelease(int msecs);
    // Blocks until finished() has been emitted, or for at most `msecs`.
    virtual bool waitForFinished(int msecs) = 0;

signals:
    void readyRead();
    void finished();
    // `detail` is for the log: what the system said.
    void startFailed(TunnelConsole::StartFailure failure, const QString &detail);
    // A line for the log: what the protection applied or undid.
    void protectionNoted(const QString &line);
    // The running tunnel could not be protected (its DNS, say); it ends.
    void protectionFailed(const QString &detail);
    // The way to the server changed under the running tunnel (the machine
    // moved to another network): it is best made anew at once.
    void networkChanged(const QString &detail);
    // The release asked for is done (or failed; the log says which).
    void released();
    // The opening for a sign-in page is in place (true) or gone (false): its
    // time is up, the tunnel is back, or it could not be made.
    void signInChanged(bool open);
};
