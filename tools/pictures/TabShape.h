#pragma once

#include <QPainterPath>
#include <QRectF>

// A rectangle with rounded top corners and a square bottom that joins the
// surface below it: the shape of a selected tab.
class TabShape
{
public:
    static QPainterPath path(const QRectF &rect, qreal radius);
};
