#pragma once

#include <QPointF>
#include <QRectF>

class QPainter;

// The product's mark, word mark and dark banner surface, shared by the title
// pictures and the mail dialog's header.
class BrandArt
{
public:
    static void paintBanner(QPainter &painter, const QRectF &area);
    static void paintMark(QPainter &painter, const QRectF &bounds);
    // Returns the right edge of the drawn word mark.
    static qreal paintWordmark(QPainter &painter, QPointF baseline, qreal pixelSize);
};
