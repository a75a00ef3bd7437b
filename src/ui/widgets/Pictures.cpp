#include "ui/widgets/Pictures.h"

#include <QImageReader>
#include <QLabel>

QPixmap Pictures::pixmap(const QString &path)
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
