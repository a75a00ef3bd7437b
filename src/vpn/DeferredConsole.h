#pragma once

#include "vpn/TunnelConsole.h"
#include "vpn/TunnelMode.h"

#include <functional>
#include <optional>

// The console of a tunnel whose mode is not known yet: the client shows
// its windows while the system bus is asked who runs OpenVPN. Until the
// answer is in, a start, a prepare and a release wait here; then the
// console for the mode is made and everything goes to it.
class DeferredConsole : public TunnelConsole
{
    Q_OBJECT

public:
    using Factory = std::function<TunnelConsole *(TunnelMode::Mode, QObject *)>;

    explicit DeferredConsole(Factory factory = &TunnelMode::createConsole,
                             QObject *parent = nullptr);

    // Once; later calls change nothing.
    void useMode(TunnelMode::Mode mode);
    bool hasMode() const { return inner != nullptr; }

    void start(const TunnelLaunch &launch) override;
    void prepare() override;
    bool isRunning() const override;
    QByteArray readAll() override;
    void write(const QByteArray &bytes) override;
    bool isEchoOff() override;
    void stop() override;
    void kill() override;
    void release() override;
    bool isReleasing() const override;
    bool waitForFinished(int msecs) override;

private:
    // A start that never reached a console ends like a run: finished(),
    // from the event loop.
    void dropWaitingStart();

    Factory factory;
    TunnelConsole *inner = nullptr;
    std::optional<TunnelLaunch> waitingStart;
    bool prepareWanted = false;
    bool releaseWanted = false;
};
