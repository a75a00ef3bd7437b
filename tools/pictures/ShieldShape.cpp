#include "ShieldShape.h"

QPainterPath ShieldShape::path(const QRectF &bounds)
{
    const qreal l = bounds.left(), t = bounds.top(), w = bounds.width(), h = bounds.height();
    const auto at = [&](qreal fx, qreal fy) { return QPointF(l + fx * w, t + fy * h); };

    QPainterPath shield;
    shield.moveTo(at(0.5, 0));
    shield.cubicTo(at(0.66, 0.09), at(0.82, 0.12), at(1, 0.13));
    shield.lineTo(at(1, 0.45));
    shield.cubicTo(at(1, 0.72), at(0.78, 0.9), at(0.5, 1));
    shield.cubicTo(at(0.22, 0.9), at(0, 0.72), at(0, 0.45));
    shield.lineTo(at(0, 0.13));
    shield.cubicTo(at(0.18, 0.12), at(0.34, 0.09), at(0.5, 0));
    shield.closeSubpath();
    return shield;
}
