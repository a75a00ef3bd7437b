#include "TabShape.h"

QPainterPath TabShape::path(const QRectF &rect, qreal radius)
{
    const qreal d = 2 * radius;
    QPainterPath tab;
    tab.moveTo(rect.bottomLeft());
    tab.lineTo(rect.left(), rect.top() + radius);
    tab.arcTo(QRectF(rect.left(), rect.top(), d, d), 180, -90);
    tab.lineTo(rect.right() - radius, rect.top());
    tab.arcTo(QRectF(rect.right() - d, rect.top(), d, d), 90, -90);
    tab.lineTo(rect.bottomRight());
    tab.closeSubpath();
    return tab;
}
