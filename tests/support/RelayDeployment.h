#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// Points this process at a relay on the loopback port `port`: writes the
// deployment override file at `path` (with `moreLines`, INI lines ending in
// LF) and names it in the environment. Deployment values are read once per
// process, so this must come before anything reads them. False when the
// file cannot be written.
inline bool useRelayOnLoopback(const QString &path, quint16 port,
                               const QByteArray &moreLines = QByteArray())
{
    QFile ini(path);
    if (!ini.open(QIODevice::WriteOnly))
        return false;
    ini.write("relay_host = 127.0.0.1\nrelay_port = " + QByteArray::number(port) + "\n" +
              moreLines);
    ini.close();
    qputenv("QUILLNET_DEPLOYMENT", QFile::encodeName(path));
    return true;
}
