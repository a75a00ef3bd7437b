#pragma once

#include "vpn/Tunnel.h"
#include "vpn/TunnelConsole.h"

#include <QElapsedTimer>

class QFile;
class QTimer;

// The tunnel of the client: drives OpenVPN through its console, answers its
// credential prompts, copies its output into "log.txt" and turns that
// output into the tunnel's state and into texts for the user. Whether
// OpenVPN runs in this process or in the privileged tunnel service is the
// console's business, given at construction. It knows nothing of the
// service or the windows; the login dialog drives it.
class VPNConnection : public Tunnel
{
    Q_OBJECT

public:
    // Stopping the process waits this long before it is killed.
    static constexpr int ExitWaitMs = 5000;
    // How long a password waits for OpenVPN to switch its terminal's echo
    // off. OpenVPN does so right after printing the prompt; only a stalled
    // machine takes longer than a moment. Past this it never will, and the
    // password is not typed where the terminal would echo it into the log.
    static constexpr int EchoWaitMs = 5000;
    // Once the tunnel has been up, an outage (the server gone or refusing,
    // the network dead, OpenVPN ended by itself) keeps the protection and
    // starts OpenVPN again after a wait that doubles from the first to the
    // last, until the tunnel is back or the user stops it.
    static constexpr int FirstRetryMs = 1000;
    static constexpr int LastRetryMs = 5000;
    // Reconnecting this long with the block on, the tunnel may be kept from
    // its server by a network that wants its sign-in page first; the user
    // may then open the network for that long.
    static constexpr int SignInHintMs = 10000;
    static constexpr int SignInSeconds = 120;
    // While the network is open for a sign-in, an attempt that hangs (its
    // connection sent into the sign-in page's wall, and the system waiting
    // ever longer between tries) is made anew this often: the tunnel is
    // back a moment after the user signed in.
    static constexpr int SignInAttemptMs = 5000;

    // OpenVPN on a terminal of this process.
    explicit VPNConnection(QObject *parent = nullptr);
    // OpenVPN on `console`, which the connection takes over.
    explicit VPNConnection(TunnelConsole *console, QObject *parent = nullptr);
    ~VPNConnection() override;

    void start() override;
    void stop(bool silent) override;
    void reconnect() override;
    void prepare() override;
    void suspend();
    // A line of the client's own in the OpenVPN log (how the tunnel is run).
    void noteInLog(const QString &line);

    void setConfig(const QString &path) override;
    void setCredentials(const QString &user, const QString &password) override;
    void setProxy(const QNetworkProxy &proxy) override;
    void setBlockOutsideTunnel(bool block) override { blockOutsideTunnel = block; }
    void setAllowLocalNetwork(bool allow) override;
    void openForSignIn() override;
    Tunnel::SignIn signInState() const { return signIn; }
    // Another wait than EchoWaitMs, in milliseconds (tests).
    void setEchoWait(int ms) { echoWaitMs = ms; }
    // Another wait for OpenVPN to end than ExitWaitMs, in milliseconds
    // (tests; the console's own stop has its graces, see LocalConsole).
    void setExitWait(int exitMs);
    void setRetryWaits(int firstMs, int lastMs);
    // Other times than SignInHintMs, SignInSeconds and SignInAttemptMs
    // (tests).
    void setSignInTimes(int hintMs, int openSeconds, int attemptMs = SignInAttemptMs);

    CnnStatus getStatus() const override { return status; }
    QString getIp() const override { return ip; }
    QString getAdapterGuid() const override { return adapterGuid; }
    QTime getConnectedSince() const override { return connectedSince; }

public slots:
    void checkLine();
    void finished();
    void systemSuspending() override;
    void systemResumed() override;

private:
    void logProtection(const QString &line);
    void applyLine(const QString &line);
    bool answerPrompt();
    void waitForEchoOff();
    void reportFailure(const QString &text);
    void rotateLog();
    void writeLog(const QByteArray &text);
    void askToExit();
    void failedToStart(TunnelConsole::StartFailure failure, const QString &detail);
    static QString startFailureText(TunnelConsole::StartFailure failure);
    // An outage of the tunnel that was up: "Reconnecting", OpenVPN ended
    // without lifting the protection, and started again after a wait.
    // `atOnce`: the first start comes without a wait (the network changed).
    void retryAfterOutage(const QString &reason, bool atOnce = false);
    void waitToRetry();
    void endRetries();
    void followSignIn(CnnStatus now);
    void setSignIn(Tunnel::SignIn state);

    CnnStatus status = Disconnected;
    QString ip;
    QString adapterGuid;
    QTime connectedSince = QTime(0, 0);
    TunnelConsole *console;
    QByteArray unread; // console output not yet taken as lines or prompts
    QTimer *echoPoll;
    QElapsedTimer echoWaited; // since the password prompt came, while echo is on
    int echoWaitMs = EchoWaitMs;
    int exitWaitMs = ExitWaitMs;
    QFile *logFile;
    QString configPath;
    QString user;
    QString password;
    QString proxyHost;
    quint16 proxyPort = 0;
    QString proxyUser;
    QString proxyPassword;
    QByteArray echoToHide;      // the terminal's echo of a name just typed
    QString runError;           // the failure already reported for this run
    bool restartOnWake = false; // a sleep had to kill OpenVPN
    bool blockOutsideTunnel = false;
    bool allowLocalNetwork = false;
    bool releaseAfterStop = false; // the user's stop: the protection goes with it
    bool logFailed = false;        // said once for each opening of the log
    bool established = false;      // up since the user's start: outages are retried
    bool retrying = false;         // an outage's retries are under way
    QTimer *retryTimer;
    int firstRetryMs = FirstRetryMs;
    int lastRetryMs = LastRetryMs;
    int nextRetryMs = FirstRetryMs;
    QTimer *signInHint;
    QTimer *signInAttempt;
    int signInSeconds = SignInSeconds;
    Tunnel::SignIn signIn = Tunnel::SignIn::None;

    Q_DISABLE_COPY_MOVE(VPNConnection)
};
