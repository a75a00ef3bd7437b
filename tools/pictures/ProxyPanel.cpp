#include "ProxyPanel.h"

#include "Canvas.h"
#include "Glyphs.h"
#include "Lettering.h"
#include "Palette.h"
#include "PictureCatalogue.h"
#include "TextBlock.h"

void ProxyPanel::addTo(PictureCatalogue &catalogue) const
{
    Canvas canvas(width, height);
    QPainter &p = canvas.painter();
    p.setPen(QPen(QColor(0xe0, 0xe0, 0xe0), 1));
    p.setBrush(Palette::panelGrey);
    p.drawRoundedRect(QRectF(0.5, 0.5, width - 1, height - 1), 8, 8);
    // The last caption stays clear of the panel's right edge.
    paintRoute(p, 338, width - 16, height / 2.0);
    catalogue.addImage("backgnd/proxy.png", canvas.finish());
}

void ProxyPanel::paintRoute(QPainter &painter, qreal left, qreal right, qreal middle) const
{
    const qreal icon = 30;
    const struct
    {
        Glyphs::Kind glyph;
        QColor color;
        const char *caption;
    } stops[] = {
        {Glyphs::Computer, Palette::accent, QT_TRANSLATE_NOOP("PictureLettering", "You")},
        {Glyphs::Server, Palette::navy, QT_TRANSLATE_NOOP("PictureLettering", "Proxy")},
        {Glyphs::Globe, Palette::accent, QT_TRANSLATE_NOOP("PictureLettering", "Internet")},
    };
    const qreal step = (right - left - icon) / 2;
    for (int i = 0; i < 3; ++i) {
        const qreal x = left + i * step;
        const QRectF box(x, middle - icon / 2 - 6, icon, icon);
        Glyphs::draw(painter, stops[i].glyph, box, stops[i].color, 1.8);
        // Each caption has the width of one step under its sign, so that
        // neighbours never touch; a long one takes a second line.
        const qreal top = box.bottom() + 4;
        const QRectF below(box.center().x() - step / 2 + 1, top, step - 2, height - 8 - top);
        const TextBlock caption =
            TextBlock::fit(lettering.text(stops[i].caption), below.size(), 10);
        painter.setPen(Palette::textMuted);
        lettering.draw(painter, caption, below, Qt::AlignHCenter | Qt::AlignTop);
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
