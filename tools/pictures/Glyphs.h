#pragma once

#include <QColor>
#include <QRectF>

class QPainter;

// Line pictograms drawn on a 24-unit grid and scaled to any target square,
// so a menu caption, a tray badge and a large tile share the same shapes
// and the same stroke character.
class Glyphs
{
public:
    enum Kind
    {
        Globe,
        Envelope,
        Gear,
        Lifebuoy,
        Power,
        Reconnect,
        Logout,
        Check,
        Cross,
        Eye,
        EyeSlash,
        Keyhole,
        Question,
        Info,
        Exclamation,
        Book,
        Bubbles,
        Headset,
        Computer,
        Server,
    };

    // stroke is in grid units: 2 gives a 2 px line on a 24 px target.
    static void draw(QPainter &painter, Kind kind, const QRectF &target, const QColor &color,
                     qreal stroke = 2.0);

private:
    static void drawOnGrid(QPainter &painter, Kind kind, const QColor &color);
    static void globe(QPainter &painter);
    static void gear(QPainter &painter);
    static void lifebuoy(QPainter &painter);
    static void reconnect(QPainter &painter);
    static void eye(QPainter &painter);
    static void question(QPainter &painter, const QColor &color);
    static void book(QPainter &painter);
    static void bubbles(QPainter &painter);
    static void headset(QPainter &painter, const QColor &color);
    static void dot(QPainter &painter, qreal x, qreal y, qreal radius, const QColor &color);
};
