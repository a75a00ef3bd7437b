#include "ui/widgets/ImageBtn.h"

#include "ui/widgets/LabelMouse.h"

ImageBtn::ImageBtn(QWidget *parent) : QLabel(parent) {}

ImageBtn::ImageBtn(QWidget *parent, const QPixmap &normal) : ImageBtn(parent, {normal, {}, {}}, 1)
{
}

ImageBtn::ImageBtn(QWidget *parent, const QPixmap &normal, const QPixmap &hover)
    : ImageBtn(parent, {normal, hover, {}}, 2)
{
}

ImageBtn::ImageBtn(QWidget *parent, const QPixmap &normal, const QPixmap &hover,
                   const QPixmap &selected)
    : ImageBtn(parent, {normal, hover, selected}, 3)
{
}

ImageBtn::ImageBtn(QWidget *parent, const std::array<QPixmap, 3> &pictures, int count)
    : QLabel(parent), pixmaps(pictures), count(count)
{
    setPixmap(pixmaps[NormalPicture]);
}

void ImageBtn::setSelected(bool on)
{
    if (count != 3)
        return;
    setPixmap(pixmaps[on ? SelectedPicture : NormalPicture]);
    selected = on;
}

void ImageBtn::showHoverPicture()
{
    // A selected button keeps its look under the pointer; with fewer than two
    // pictures there is nothing to alternate (and a button without pictures
    // shows whatever its owner set).
    if (count == 2 || (count == 3 && !selected))
        setPixmap(pixmaps[hover ? HoverPicture : NormalPicture]);
}

void ImageBtn::enterEvent(QEnterEvent *)
{
    hover = true;
    showHoverPicture();
}

void ImageBtn::leaveEvent(QEvent *)
{
    hover = false;
    showHoverPicture();
}

void ImageBtn::mouseMoveEvent(QMouseEvent *event)
{
    if (LabelMouse::moveChangesHover(hover, event, this))
        showHoverPicture();
}

void ImageBtn::mousePressEvent(QMouseEvent *event)
{
    LabelMouse::press(pressed, event);
}

void ImageBtn::mouseReleaseEvent(QMouseEvent *event)
{
    if (LabelMouse::releaseCompletesClick(pressed, event, this)) {
        if (count == 3)
            setPixmap(pixmaps[SelectedPicture]);
        emit clicked();
    }
}
