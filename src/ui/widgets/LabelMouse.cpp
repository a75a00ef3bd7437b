#include "ui/widgets/LabelMouse.h"

#include <QMouseEvent>
#include <QWidget>

namespace {
bool isInside(const QMouseEvent *event, const QWidget *widget)
{
    return widget->rect().contains(event->position().toPoint());
}
} // namespace

namespace LabelMouse {

void press(bool &pressed, const QMouseEvent *event)
{
    pressed = event->button() == Qt::LeftButton;
}

bool releaseCompletesClick(bool &pressed, const QMouseEvent *event, const QWidget *widget)
{
    const bool completed = pressed && event->button() == Qt::LeftButton && isInside(event, widget);
    pressed = false;
    return completed;
}

bool moveChangesHover(bool &hover, const QMouseEvent *event, const QWidget *widget)
{
    const bool inside = isInside(event, widget);
    if (inside == hover)
        return false;
    hover = inside;
    return true;
}

} // namespace LabelMouse
