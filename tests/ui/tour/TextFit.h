#pragma once

#include <QStringList>

class QWidget;

// The texts of a window that need more room than their widgets give them,
// as the user would meet them cut off: one line each, naming the widget by
// its path of object names, the text, and the room it needs and has. Only
// what is on screen counts: visible widgets with a text.
//
// A word-wrapped label needs the height its text takes at its width and
// the width of its longest word; any other label, button, check box or
// combo box item needs its text's width (and a label its lines' height)
// inside the box the style draws it in, and a list's row its cell's width.
// A widget reaching beyond its parent is cut off there too.
QStringList clippedTexts(QWidget *window);
