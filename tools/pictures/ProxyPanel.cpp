#include "ProxyPanel.h"

#include "Canvas.h"
#include "Glyphs.h"
#include "Palette.h"
#include "PictureCatalogue.h"
#include "Typeface.h"

void ProxyPanel::addTo(PictureCatalogue &catalogue) const
{
    Canvas canvas(width, height);
    QPainter &p = canvas.painter();
    p.setPen(QPen(QColor(0xe0, 0xe0, 0xe0), 1));
    p.setBrush(Palette::panelGrey);
    p.drawRoundedRect(QRectF(0.5, 0.5, width - 1, height - 1), 8, 8);
    paintRoute(p, 338, width - 10, height / 2.0);
    catalogue.addImage("backgnd/proxy.png", canvas.finish());
}

void ProxyPanel::paintRoute(QPainter &painter, qreal left, qreal right, qreal middle)
{
    const qreal icon = 30;
    const struct
    {
        Glyphs::Kind glyph;
        QColor color;
        const char *caption;
    } stops[] = {
        {Glyphs::Computer, Palette::accent, "You"},
        {Glyphs::Server, Palette::navy, "Proxy"},
        {Glyphs::Globe, Palette::accent, "Internet"},
    };
    const qreal step = (right - left - icon) / 2;
    const QFont captionFont = Typeface::font(10);
    for (int i = 0; i < 3; ++i) {
        const qreal x = left + i * step;
        const QRectF box(x, middle - icon / 2 - 6, icon, icon);
        Glyphs::draw(painter, stops[i].glyph, box, stops[i].color, 1.8);
        painter.setFont(captionFont);
        painter.setPen(Palette::textMuted);
        painter.drawText(QRectF(x - 20, box.bottom() + 4, icon + 40, 14),
                         Qt::AlignHCenter | Qt::AlignTop, stops[i].caption);
        if (i > 0)
            dashed(painter, QPointF(x - step + icon + 4, box.center().y()),
                   QPointF(x - 4, box.center().y()));
    }
}

void ProxyPanel::dashed(QPainter &painter, const QPointF &from, const QPointF &to)
{
    QPen pen(Palette::accentSoft, 1.6, Qt::CustomDashLine, Qt::RoundCap);
    pen.setDashPattern({1, 2.5});
    painter.setPen(pen);
    painter.drawLine(from, to);
}
