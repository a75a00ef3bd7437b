#include "PictureCatalogue.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextStream>
#include <cstdio>

PictureCatalogue::PictureCatalogue(const QString &rootDir) : root(rootDir)
{
    if (!root.mkpath("."))
        fail("cannot create " + rootDir);
}

void PictureCatalogue::addImage(const QString &path, const QImage &image)
{
    if (!claim(path))
        return;
    if (image.isNull() ||
        !image.convertToFormat(QImage::Format_ARGB32).save(root.filePath(path), "PNG"))
        fail("cannot write " + path);
}

void PictureCatalogue::addFile(const QString &path, const QByteArray &bytes)
{
    if (!claim(path))
        return;
    QFile file(root.filePath(path));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        fail("cannot write " + path);
}

bool PictureCatalogue::writeCollection(const QString &fileName, const QString &prefix)
{
    QSaveFile file(root.filePath(fileName));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        fail("cannot write " + fileName);
        return false;
    }
    QTextStream out(&file);
    out << "<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n<qresource prefix=\"" << prefix << "\">\n";
    for (const QString &path : entries)
        out << "  <file>" << path << "</file>\n";
    out << "</qresource>\n</RCC>\n";
    out.flush();
    if (!file.commit())
        fail("cannot write " + fileName);
    return !hasFailed;
}

// A second picture under the same path would silently replace the first one.
bool PictureCatalogue::claim(const QString &path)
{
    if (entries.contains(path)) {
        fail("picture drawn twice: " + path);
        return false;
    }
    entries.append(path);
    if (!root.mkpath(QFileInfo(path).path())) {
        fail("cannot create the folder of " + path);
        return false;
    }
    return true;
}

void PictureCatalogue::fail(const QString &message)
{
    hasFailed = true;
    std::fprintf(stderr, "quillnet_graphics_gen: %s\n", qPrintable(message));
}
