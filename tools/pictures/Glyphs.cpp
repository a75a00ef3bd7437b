#include "Glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QtMath>

namespace {
constexpr qreal grid = 24.0;

QPointF onCircle(QPointF centre, qreal radius, qreal degrees)
{
    const qreal a = qDegreesToRadians(degrees);
    return {centre.x() + radius * qCos(a), centre.y() - radius * qSin(a)};
}

// Chevron at the end of an arc drawn counter-clockwise; points along the travel.
QPainterPath polygonPath(const QPolygonF &polygon)
{
    QPainterPath path;
    path.addPolygon(polygon);
    path.closeSubpath();
    return path;
}

void arrowHeadAtArcEnd(QPainter &painter, QPointF centre, qreal radius, qreal degrees)
{
    const qreal a = qDegreesToRadians(degrees);
    const QPointF tip = onCircle(centre, radius, degrees);
    const qreal travel = qAtan2(-qCos(a), -qSin(a));
    const qreal length = 4.0;
    for (qreal side : {-0.7, 0.7}) {
        const qreal back = travel + M_PI + side;
        painter.drawLine(tip, tip + QPointF(length * qCos(back), length * qSin(back)));
    }
}
} // namespace

void Glyphs::draw(QPainter &painter, Kind kind, const QRectF &target, const QColor &color,
                  qreal stroke)
{
    painter.save();
    painter.translate(target.topLeft());
    painter.scale(target.width() / grid, target.height() / grid);
    QPen pen(color, stroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    drawOnGrid(painter, kind, color);
    painter.restore();
}

void Glyphs::drawOnGrid(QPainter &painter, Kind kind, const QColor &color)
{
    switch (kind) {
    case Globe:
        globe(painter);
        break;
    case Envelope:
        painter.drawRoundedRect(QRectF(3, 5.5, 18, 13), 2, 2);
        painter.drawPolyline(QPolygonF({{3.8, 7}, {12, 12.8}, {20.2, 7}}));
        break;
    case Gear:
        gear(painter);
        break;
    case Lifebuoy:
        lifebuoy(painter);
        break;
    case Power: {
        QPainterPath arc;
        arc.arcMoveTo(QRectF(4, 5, 16, 16), 125);
        arc.arcTo(QRectF(4, 5, 16, 16), 125, 290);
        painter.drawPath(arc);
        painter.drawLine(QPointF(12, 3), QPointF(12, 11.5));
        break;
    }
    case Reconnect:
        reconnect(painter);
        break;
    case Logout: {
        QPainterPath door;
        door.moveTo(10, 4);
        door.lineTo(6.5, 4);
        door.quadTo(4.5, 4, 4.5, 6);
        door.lineTo(4.5, 18);
        door.quadTo(4.5, 20, 6.5, 20);
        door.lineTo(10, 20);
        painter.drawPath(door);
        painter.drawLine(QPointF(9.5, 12), QPointF(20, 12));
        painter.drawPolyline(QPolygonF({{16, 8}, {20, 12}, {16, 16}}));
        break;
    }
    case Check:
        painter.drawPolyline(QPolygonF({{5, 12.5}, {10, 17.5}, {19, 7}}));
        break;
    case Cross:
        painter.drawLine(QPointF(6.5, 6.5), QPointF(17.5, 17.5));
        painter.drawLine(QPointF(17.5, 6.5), QPointF(6.5, 17.5));
        break;
    case Eye:
        eye(painter);
        break;
    case EyeSlash:
        eye(painter);
        painter.drawLine(QPointF(4, 3.5), QPointF(20, 20.5));
        break;
    case Keyhole: {
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        painter.drawEllipse(QPointF(12, 9.5), 3.6, 3.6);
        painter.drawPolygon(QPolygonF({{10.2, 11}, {13.8, 11}, {15, 19}, {9, 19}}));
        break;
    }
    case Question:
        question(painter, color);
        break;
    case Info:
        dot(painter, 12, 7, 1.5, color);
        painter.drawLine(QPointF(12, 11), QPointF(12, 18));
        break;
    case Exclamation:
        painter.drawLine(QPointF(12, 5.5), QPointF(12, 13.5));
        dot(painter, 12, 18, 1.5, color);
        break;
    case Book:
        book(painter);
        break;
    case Bubbles:
        bubbles(painter);
        break;
    case Headset:
        headset(painter, color);
        break;
    case Computer:
        painter.drawRoundedRect(QRectF(3, 4, 18, 12), 1.5, 1.5);
        painter.drawLine(QPointF(12, 16), QPointF(12, 19.5));
        painter.drawLine(QPointF(8, 20), QPointF(16, 20));
        break;
    case Server:
        painter.drawRoundedRect(QRectF(4, 3.5, 16, 7.5), 1.5, 1.5);
        painter.drawRoundedRect(QRectF(4, 13, 16, 7.5), 1.5, 1.5);
        dot(painter, 8, 7.25, 1.1, color);
        dot(painter, 8, 16.75, 1.1, color);
        break;
    }
}

void Glyphs::globe(QPainter &painter)
{
    painter.drawEllipse(QPointF(12, 12), 9, 9);
    painter.drawEllipse(QRectF(8, 3, 8, 18));
    painter.drawLine(QPointF(3, 12), QPointF(21, 12));
    QPainterPath latitudes;
    latitudes.moveTo(5, 7.5);
    latitudes.quadTo(12, 9.5, 19, 7.5);
    latitudes.moveTo(5, 16.5);
    latitudes.quadTo(12, 14.5, 19, 16.5);
    painter.drawPath(latitudes);
}

void Glyphs::gear(QPainter &painter)
{
    const QPointF centre(12, 12);
    constexpr int teeth = 8;
    QPolygonF outline;
    for (int i = 0; i < teeth; ++i) {
        const qreal c = i * 360.0 / teeth;
        outline << onCircle(centre, 7.2, c - 15) << onCircle(centre, 9.8, c - 8)
                << onCircle(centre, 9.8, c + 8) << onCircle(centre, 7.2, c + 15);
    }
    painter.drawPolygon(outline);
    painter.drawEllipse(centre, 3, 3);
}

void Glyphs::lifebuoy(QPainter &painter)
{
    const QPointF centre(12, 12);
    painter.drawEllipse(centre, 9, 9);
    painter.drawEllipse(centre, 4, 4);
    for (qreal a : {45.0, 135.0, 225.0, 315.0})
        painter.drawLine(onCircle(centre, 4, a), onCircle(centre, 9, a));
}

void Glyphs::reconnect(QPainter &painter)
{
    const QPointF centre(12, 12);
    const qreal radius = 7.5;
    const QRectF box(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    for (qreal start : {40.0, 220.0}) {
        QPainterPath arc;
        arc.arcMoveTo(box, start);
        arc.arcTo(box, start, 125);
        painter.drawPath(arc);
        arrowHeadAtArcEnd(painter, centre, radius, start + 125);
    }
}

void Glyphs::eye(QPainter &painter)
{
    QPainterPath almond;
    almond.moveTo(2, 12);
    almond.cubicTo(4.5, 7.5, 8, 5.5, 12, 5.5);
    almond.cubicTo(16, 5.5, 19.5, 7.5, 22, 12);
    almond.cubicTo(19.5, 16.5, 16, 18.5, 12, 18.5);
    almond.cubicTo(8, 18.5, 4.5, 16.5, 2, 12);
    painter.drawPath(almond);
    painter.drawEllipse(QPointF(12, 12), 3, 3);
}

void Glyphs::question(QPainter &painter, const QColor &color)
{
    QPainterPath hook;
    const QRectF bow(8.5, 4.5, 7, 7);
    hook.arcMoveTo(bow, 170);
    hook.arcTo(bow, 170, -235);
    hook.quadTo(12, 11.8, 12, 14);
    painter.drawPath(hook);
    dot(painter, 12, 18.3, 1.5, color);
}

void Glyphs::book(QPainter &painter)
{
    QPainterPath pages;
    pages.moveTo(12, 7);
    pages.cubicTo(9.5, 5, 6, 4.8, 3, 5.8);
    pages.lineTo(3, 18.5);
    pages.cubicTo(6, 17.5, 9.5, 17.8, 12, 19.8);
    pages.cubicTo(14.5, 17.8, 18, 17.5, 21, 18.5);
    pages.lineTo(21, 5.8);
    pages.cubicTo(18, 4.8, 14.5, 5, 12, 7);
    pages.lineTo(12, 19.8);
    painter.drawPath(pages);
}

void Glyphs::bubbles(QPainter &painter)
{
    QPainterPath back;
    back.addRoundedRect(QRectF(2.5, 3, 14, 10), 3, 3);
    back = back.united(polygonPath({{5.5, 12.5}, {5.5, 17}, {10, 12.5}}));
    QPainterPath front;
    front.addRoundedRect(QRectF(9, 9.5, 12.5, 9), 3, 3);
    front = front.united(polygonPath({{14.5, 18}, {18.5, 22}, {18.5, 18}}));

    // The back bubble stops short of the front one instead of crossing it.
    QPainterPathStroker margin;
    margin.setWidth(painter.pen().widthF() * 2.5);
    QPainterPath cutout = front.united(margin.createStroke(front));
    QPainterPath everywhere;
    everywhere.addRect(QRectF(0, 0, grid, grid));
    painter.save();
    painter.setClipPath(everywhere.subtracted(cutout));
    painter.drawPath(back);
    painter.restore();
    painter.drawPath(front);
}

void Glyphs::headset(QPainter &painter, const QColor &color)
{
    QPainterPath band;
    const QRectF arc(4.5, 4, 15, 16);
    band.arcMoveTo(arc, 180);
    band.arcTo(arc, 180, -180);
    painter.drawPath(band);
    painter.save();
    painter.setBrush(color);
    painter.drawRoundedRect(QRectF(3, 12, 4, 6.5), 1.5, 1.5);
    painter.drawRoundedRect(QRectF(17, 12, 4, 6.5), 1.5, 1.5);
    painter.restore();
    QPainterPath mic;
    mic.moveTo(19, 18.5);
    mic.quadTo(19, 21.5, 15.5, 21.5);
    mic.lineTo(13.5, 21.5);
    painter.drawPath(mic);
}

void Glyphs::dot(QPainter &painter, qreal x, qreal y, qreal radius, const QColor &color)
{
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawEllipse(QPointF(x, y), radius, radius);
    painter.restore();
}
