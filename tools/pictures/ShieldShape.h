#pragma once

#include <QPainterPath>
#include <QRectF>

// The protective shield outline of the product mark and the tray icons.
class ShieldShape
{
public:
    static QPainterPath path(const QRectF &bounds);
};
