#include "vpn/TunnelConsole.h"

#include <QEventLoop>
#include <QTimer>

void TunnelConsole::waitForRelease(int msecs)
{
    if (!isReleasing())
        return;
    QEventLoop loop;
    QTimer::singleShot(msecs, &loop, &QEventLoop::quit);
    connect(this, &TunnelConsole::released, &loop, &QEventLoop::quit);
    loop.exec();
}
