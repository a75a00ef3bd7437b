#include "vpn/AdapterControl.h"

#include "platform/AdapterFlagRegister.h"

#include <QCoreApplication>
#include <QProcess>

namespace {

const char HardwareId[] = "tap0901_korvex";
const int InstallerTimeoutMs = 30000;

int adapterEnabled = 0;

int runInstaller(const char *command)
{
    // From the program's own folder, which only the installation writes:
    // the working folder belongs to the user, and the tool may run as root.
    QProcess installer;
    installer.start(QCoreApplication::applicationDirPath() + QStringLiteral("/adapter/tapinstall"),
                    {QLatin1String(command), QLatin1String(HardwareId)}, QIODevice::ReadWrite);
    installer.waitForFinished(InstallerTimeoutMs);
    return installer.exitCode();
}

} // namespace

int enableAdapter()
{
    if (adapterEnabled == 1)
        return 0;
    const int code = runInstaller("enable");
    adapterEnabled = 1;
    return code;
}

int disableAdapter()
{
    if (adapterEnabled == 0)
        return 0;
    const int code = runInstaller("disable");
    adapterEnabled = 0;
    return code;
}

int restartAdapter()
{
    return runInstaller("restart");
}

quint8 getAdapterFlags(const QString &adapter)
{
    return quint8(AdapterFlagRegister::read(adapter));
}

bool setAdapterFlags(const QString &adapter, quint8 value)
{
    return AdapterFlagRegister::write(adapter, value);
}

// A register that cannot be read is left alone: changing one bit of an
// unknown byte would store a guess as the other services' flags.
bool setAdapterFlag(const QString &adapter, quint8 bit)
{
    const int flags = AdapterFlagRegister::read(adapter);
    return flags != AdapterFlagRegister::Unreachable && setAdapterFlags(adapter, flags | bit);
}

bool clearAdapterFlag(const QString &adapter, quint8 bit)
{
    const int flags = AdapterFlagRegister::read(adapter);
    return flags != AdapterFlagRegister::Unreachable && setAdapterFlags(adapter, flags & ~bit);
}
