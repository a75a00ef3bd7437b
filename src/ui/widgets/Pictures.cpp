#include "ui/widgets/Pictures.h"

#include <QImageReader>
#include <QLabel>
#include <QPixmapCache>

QPixmap Pictures::pixmap(const QString &path)
{
    // Kept in Qt's pixmap cache under the file name, as QPixmap's own
    // loading keeps them: the tray's state icons come back often.
    QPixmap picture;
    if (QPixmapCache::find(path, &picture))
        return picture;
    picture = sheet(path);
    if (!picture.isNull())
        QPixmapCache::insert(path, picture);
    return picture;
}

QPixmap Pictures::sheet(const QString &path)
{
    QImageReader reader(path, "png");
    reader.setAutoDetectImageFormat(false);
    return QPixmap::fromImage(reader.read());
}

QIcon Pictures::icon(const QString &path)
{
    return QIcon(pixmap(path));
}

void Pictures::fillLabels(QWidget *root)
{
    for (QLabel *label : root->findChildren<QLabel *>()) {
        const QVariant picture = label->property("picture");
        if (picture.isValid())
            label->setPixmap(pixmap(picture.toString()));
    }
}
