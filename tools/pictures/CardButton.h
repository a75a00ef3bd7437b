#pragma once

#include "Glyphs.h"

#include <QColor>
#include <QRectF>
#include <QString>

class Lettering;
class QPainter;

// The large rounded buttons of the exit page and the web page: a card with
// a sign on the left and a title with a one-line explanation beside it.
class CardButton
{
public:
    enum Look
    {
        Normal,
        Hover,
        Pressed
    };

    // Draws the card and returns the area left for its content; a tint
    // colours the card as "switched on".
    static QRectF paintCard(QPainter &painter, const QRectF &cell, Look look, const QColor &accent,
                            bool tinted = false);
    // A round badge holding a sign, centred on the given point.
    static void paintBadge(QPainter &painter, QPointF centre, Look look, const QColor &accent,
                           Glyphs::Kind glyph);
    // The title on one line above its explanation, which may take two.
    static void paintCaption(QPainter &painter, Lettering &lettering, const QRectF &area,
                             const QString &title, const QString &subtitle);

    static constexpr qreal badgeDiameter = 36;
};
