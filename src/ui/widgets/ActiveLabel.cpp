#include "ui/widgets/ActiveLabel.h"

#include "ui/widgets/LabelMouse.h"

ActiveLabel::ActiveLabel(QWidget *parent) : QLabel(parent) {}

// The events are kept (not passed on to QLabel, which would ignore them) so
// that the release is delivered here even when it happens outside.
void ActiveLabel::mousePressEvent(QMouseEvent *event)
{
    LabelMouse::press(pressed, event);
}

void ActiveLabel::mouseReleaseEvent(QMouseEvent *event)
{
    if (LabelMouse::releaseCompletesClick(pressed, event, this))
        emit clicked();
}
