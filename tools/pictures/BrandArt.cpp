#include "BrandArt.h"

#include "Palette.h"
#include "ShieldShape.h"
#include "Typeface.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

void BrandArt::paintBanner(QPainter &painter, const QRectF &area)
{
    painter.save();
    painter.setClipRect(area);
    QLinearGradient depth(area.topLeft(), area.bottomRight());
    depth.setColorAt(0, Palette::navy);
    depth.setColorAt(1, Palette::navyLight);
    painter.fillRect(area, depth);

    // Two faint rings on the right give the flat surface a little depth
    // without competing with the text on the left.
    painter.setPen(Qt::NoPen);
    QColor glow = Palette::accent;
    glow.setAlpha(28);
    painter.setBrush(glow);
    const qreal r = area.height() * 1.6;
    painter.drawEllipse(QPointF(area.right() - r * 0.35, area.top() + area.height() * 0.1), r, r);
    glow.setAlpha(22);
    painter.setBrush(glow);
    painter.drawEllipse(QPointF(area.right() - r * 0.05, area.bottom() + r * 0.3), r * 0.9,
                        r * 0.9);
    painter.restore();
}

void BrandArt::paintMark(QPainter &painter, const QRectF &bounds)
{
    painter.save();
    const QPainterPath shield = ShieldShape::path(bounds);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Palette::white);
    painter.drawPath(shield);

    // A quill across the shield: a filled vane and a white shaft through it.
    const auto at = [&](qreal fx, qreal fy) {
        return QPointF(bounds.left() + fx * bounds.width(), bounds.top() + fy * bounds.height());
    };
    QPainterPath vane;
    vane.moveTo(at(0.3, 0.78));
    vane.cubicTo(at(0.26, 0.5), at(0.46, 0.26), at(0.76, 0.2));
    vane.cubicTo(at(0.74, 0.46), at(0.58, 0.7), at(0.3, 0.78));
    QLinearGradient ink(at(0.3, 0.78), at(0.76, 0.2));
    ink.setColorAt(0, Palette::navy);
    ink.setColorAt(1, Palette::accent);
    painter.setBrush(ink);
    painter.drawPath(vane);
    painter.setPen(
        QPen(Palette::white, qMax(1.0, bounds.width() * 0.045), Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(at(0.27, 0.84), at(0.64, 0.34));
    painter.restore();
}

qreal BrandArt::paintWordmark(QPainter &painter, QPointF baseline, qreal pixelSize)
{
    painter.save();
    const QFont font = Typeface::font(pixelSize, true);
    painter.setFont(font);
    const QFontMetricsF metrics(font);
    const QString first = "Quill", second = "net";
    painter.setPen(Palette::white);
    painter.drawText(baseline, first);
    const QPointF secondAt(baseline.x() + metrics.horizontalAdvance(first), baseline.y());
    painter.setPen(QColor(0x9c, 0xc8, 0xee));
    painter.drawText(secondAt, second);
    painter.restore();
    return secondAt.x() + metrics.horizontalAdvance(second);
}
