#include "NoticePanels.h"

#include "Canvas.h"
#include "Palette.h"
#include "PictureCatalogue.h"
#include "ShieldShape.h"

void NoticePanels::addTo(PictureCatalogue &catalogue) const
{
    catalogue.addImage("backgnd/notice1.png", panel(wideWidth, wideHeight));
    catalogue.addImage("backgnd/notice2.png", panel(narrowWidth, narrowHeight));
}

QImage NoticePanels::panel(int width, int height)
{
    Canvas canvas(width, height, Palette::white);
    QPainter &p = canvas.painter();
    const QRectF body(0.5, 0.5, width - 1, height - 1);
    p.setPen(QPen(Palette::line, 1));
    p.setBrush(Palette::accentPale);
    p.drawRoundedRect(body, 6, 6);

    // A large faint shield in the corner ties the notice to the product
    // without competing with the text in front of it.
    const qreal s = qMin(height * 0.8, 40.0);
    const QRectF mark(width - s * 0.85 - 6, height - s - 4, s * 0.85, s);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x47, 0x82, 0xb4, 26));
    p.drawPath(ShieldShape::path(mark));
    return canvas.finish();
}
