#include "platform/AdapterFlagRegister.h"

#include "platform/PrivateRuntimeFolder.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

// Device names only: a name must not lead the file out of the folder.
bool isAdapterName(const QString &adapter)
{
    static const QRegularExpression name(QStringLiteral("^[A-Za-z0-9_.{}\\-]{1,64}$"));
    return name.match(adapter).hasMatch() && adapter != QLatin1String(".") &&
           adapter != QLatin1String("..");
}

} // namespace

QString AdapterFlagRegister::path(const QString &adapter)
{
    const QString folder = PrivateRuntimeFolder::path();
    return folder.isEmpty() ? QString()
                            : folder + QLatin1Char('/') + adapter + QStringLiteral(".flags");
}

int AdapterFlagRegister::read(const QString &adapter)
{
    if (!isAdapterName(adapter))
        return Unreachable;
    const QString name = path(adapter);
    if (name.isEmpty())
        return Unreachable;
    QFile file(name);
    if (!file.exists())
        return 0; // nothing stored yet: cleared
    if (!file.open(QIODevice::ReadOnly))
        return Unreachable;
    const QByteArray byte = file.read(2);
    return byte.size() == 1 ? quint8(byte.at(0)) : Unreachable;
}

bool AdapterFlagRegister::write(const QString &adapter, quint8 value)
{
    if (!isAdapterName(adapter))
        return false;
    const QString file = path(adapter);
    if (file.isEmpty())
        return false;
    // Readers never see a half-written register.
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    if (out.write(QByteArray(1, char(value))) != 1) {
        out.cancelWriting();
        return false;
    }
    return out.commit();
}
