#include "NoticeIcons.h"

#include "Canvas.h"
#include "Glyphs.h"
#include "Palette.h"
#include "PictureCatalogue.h"

void NoticeIcons::addTo(PictureCatalogue &catalogue) const
{
    catalogue.addImage("icon/ok.png", disc(Palette::green, Glyphs::Check));
    catalogue.addImage("icon/info.png", disc(Palette::accent, Glyphs::Info));
    catalogue.addImage("icon/alert.png", warningTriangle());
}

QImage NoticeIcons::disc(const QColor &color, Glyphs::Kind glyph)
{
    Canvas canvas(size, size);
    QPainter &p = canvas.painter();
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawEllipse(QRectF(0.5, 0.5, size - 1, size - 1));
    Glyphs::draw(p, glyph, QRectF(2, 2, 12, 12), Palette::white, 3.6);
    return canvas.finish();
}

QImage NoticeIcons::warningTriangle()
{
    Canvas canvas(size, size);
    QPainter &p = canvas.painter();
    // Filled and outlined in the same colour with round joins: soft corners.
    p.setPen(QPen(Palette::amber, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Palette::amber);
    p.drawPolygon(QPolygonF({{8, 1.5}, {14.8, 14}, {1.2, 14}}));
    Glyphs::draw(p, Glyphs::Exclamation, QRectF(3, 3.2, 10, 10.5), Palette::white, 4.0);
    return canvas.finish();
}
