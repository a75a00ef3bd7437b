#include "ui/widgets/ImageButton.h"

#include "ui/widgets/LabelMouse.h"

ImageButton::ImageButton(QWidget *parent) : QLabel(parent) {}

void ImageButton::setPixmaps(const QPixmap &normal, const QPixmap &hover, const QPixmap &pressed)
{
    pixmaps = {normal, hover, pressed};
    count = 3;
    this->pressed = false;
    this->hover = false;
    setPixmap(normal);
}

void ImageButton::showCurrentPicture()
{
    // A press shows only while the pointer is over the button, so dragging
    // off it visibly releases the button.
    Picture picture = NormalPicture;
    if (hover && count > 1)
        picture = pressed && count == 3 ? PressedPicture : HoverPicture;
    setPixmap(pixmaps[picture]);
}

void ImageButton::enterEvent(QEnterEvent *)
{
    hover = true;
    showCurrentPicture();
}

void ImageButton::leaveEvent(QEvent *)
{
    hover = false;
    showCurrentPicture();
}

void ImageButton::mouseMoveEvent(QMouseEvent *event)
{
    if (LabelMouse::moveChangesHover(hover, event, this))
        showCurrentPicture();
}

void ImageButton::mousePressEvent(QMouseEvent *event)
{
    LabelMouse::press(pressed, event);
    showCurrentPicture();
}

void ImageButton::mouseReleaseEvent(QMouseEvent *event)
{
    if (LabelMouse::releaseCompletesClick(pressed, event, this)) {
        if (count == 3)
            setPixmap(pixmaps[HoverPicture]);
        emit clicked();
    }
}
