#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

class QWidget;

// The client's pictures are PNG files in its resources, and are read as
// PNG and nothing else. Qt's reader, told no more than a file name, asks
// every installed image format plugin about the first picture it reads,
// which loads them all (and libraries such as libtiff and libwebp) into a
// client that never shows such a picture.
namespace Pictures {

// A null pixmap when the file is missing or not a PNG picture.
QPixmap pixmap(const QString &path);
// The same for a sheet that is only cut into pieces: not kept in the
// cache, so that it is gone once they are cut.
QPixmap sheet(const QString &path);
QIcon icon(const QString &path);
// The labels among `root`'s children whose form names their picture in a
// "picture" property get it: a form's own pixmap property would be read
// by Qt's reader.
void fillLabels(QWidget *root);

} // namespace Pictures
