#pragma once

#include "protection/TunnelProtection.h"
#include "vpn/TunnelConsole.h"

class ConsoleProcess;

// OpenVPN on a pseudo-terminal of this process: the direct mode, which
// needs CAP_NET_ADMIN. Relative paths in the configuration ("ca cert.crt")
// are those of the working directory the client has when it starts. The
// client protects the tunnel itself here (leak block, DNS), as the tunnel
// service does in the other mode.
class LocalConsole : public TunnelConsole
{
    Q_OBJECT

public:
    explicit LocalConsole(QObject *parent = nullptr);

    void start(const TunnelLaunch &launch) override;
    bool isRunning() const override;
    QByteArray readAll() override;
    void write(const QByteArray &bytes) override;
    bool isEchoOff() override;
    void stop() override;
    void kill() override;
    bool waitForFinished(int msecs) override;
    void release() override;
    bool isReleasing() const override { return releasing; }
    void openForSignIn(int seconds) override;

    // Where the protection keeps its markers and which programs and files
    // it uses; the system's own unless set (tests).
    void setProtectionPlaces(const TunnelProtection::Places &places);
    // What a crashed client left to restore in the system's own places;
    // the log line, if anything was.
    static QString recoverAfterCrash();

    // Other graces of stop() than the product's (tests): see ConsoleProcess.
    void setStopGraces(int terminateMs, int hangUpMs);

private:
    TunnelProtection *protection();
    void launch(const TunnelLaunch &launch);

    ConsoleProcess *process;
    TunnelProtection::Places places;
    TunnelProtection *guard = nullptr;
    bool releasing = false;
};
