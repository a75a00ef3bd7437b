#include "ui/widgets/HoverChBox.h"

HoverChBox::HoverChBox(QWidget *parent) : QCheckBox(parent) {}

void HoverChBox::enterEvent(QEnterEvent *event)
{
    emit hoverOn();
    QCheckBox::enterEvent(event);
}

void HoverChBox::leaveEvent(QEvent *event)
{
    emit hoverOff();
    QCheckBox::leaveEvent(event);
}
