#pragma once

#include "vpn/TunnelConsole.h"

class ConsoleProcess;

// OpenVPN on a pseudo-terminal of this process: the direct mode, which
// needs CAP_NET_ADMIN. Relative paths in the configuration ("ca cert.crt")
// are those of the working directory the client has when it starts.
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

    // Other graces of stop() than the product's (tests): see ConsoleProcess.
    void setStopGraces(int terminateMs, int hangUpMs);

private:
    ConsoleProcess *process;
};
