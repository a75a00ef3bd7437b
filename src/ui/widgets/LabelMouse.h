#pragma once

class QMouseEvent;
class QWidget;

// Mouse rules shared by the labels that act as buttons. A click counts only
// when the left button went down on the label and came up over it again, so
// dragging off a button before letting go cancels the click.
namespace LabelMouse {

// Records in `pressed` whether this press can start a click.
void press(bool &pressed, const QMouseEvent *event);

// Ends the press in every case; returns whether it completed a click.
bool releaseCompletesClick(bool &pressed, const QMouseEvent *event, const QWidget *widget);

// Updates `hover` from a move; returns whether it changed.
bool moveChangesHover(bool &hover, const QMouseEvent *event, const QWidget *widget);

} // namespace LabelMouse
