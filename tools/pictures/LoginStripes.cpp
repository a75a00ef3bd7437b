#include "LoginStripes.h"

#include "Canvas.h"
#include "Glyphs.h"
#include "Palette.h"
#include "PictureCatalogue.h"

#include <QLinearGradient>

void LoginStripes::addTo(PictureCatalogue &catalogue) const
{
    catalogue.addImage("backgnd/stripe-login.png", hintBand());
    catalogue.addImage("backgnd/attention.png", attentionBand());
}

QImage LoginStripes::hintBand()
{
    Canvas canvas(width, height, Palette::accentPale);
    QPainter &p = canvas.painter();
    QLinearGradient edge(0, 0, width, 0);
    edge.setColorAt(0, Palette::accent);
    edge.setColorAt(1, Palette::line);
    p.fillRect(QRectF(0, 0, width, 2), edge);
    return canvas.finish();
}

QImage LoginStripes::attentionBand()
{
    Canvas canvas(width, height, Palette::amberPale);
    QPainter &p = canvas.painter();
    p.fillRect(QRectF(0, 0, width, 2), Palette::amber);
    // The sign stays left of x 55, where the attention text begins.
    const QPolygonF triangle({{28, 11}, {43, 37}, {13, 37}});
    p.setPen(QPen(Palette::amber, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Palette::amber);
    p.drawPolygon(triangle);
    Glyphs::draw(p, Glyphs::Exclamation, QRectF(18, 14.5, 20, 21), Palette::white, 3.2);
    return canvas.finish();
}
