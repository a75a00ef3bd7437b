#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

// The whole content of a file, empty when it cannot be read.
inline QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The lines of a file, without empty ones; none when it cannot be read.
inline QStringList readLines(const QString &path)
{
    return QString::fromUtf8(readAll(path)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}
