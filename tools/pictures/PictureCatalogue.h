#pragma once

#include <QByteArray>
#include <QDir>
#include <QImage>
#include <QString>
#include <QStringList>

// Writes pictures below one folder and remembers them, so that the resource
// collection file listing exactly these pictures can be written at the end.
// Paths are relative to the resource prefix, e.g. "icon/ok.png".
class PictureCatalogue
{
public:
    explicit PictureCatalogue(const QString &rootDir);

    void addImage(const QString &path, const QImage &image);
    void addFile(const QString &path, const QByteArray &bytes);
    bool writeCollection(const QString &fileName, const QString &prefix);

    bool failed() const { return hasFailed; }

private:
    bool claim(const QString &path);
    void fail(const QString &message);

    QDir root;
    QStringList entries;
    bool hasFailed = false;
};
