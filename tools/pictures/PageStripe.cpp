#include "PageStripe.h"

#include "Canvas.h"
#include "Palette.h"
#include "PictureCatalogue.h"

#include <QLinearGradient>
#include <QPainterPath>

void PageStripe::addTo(PictureCatalogue &catalogue) const
{
    Canvas canvas(width, height, Palette::white);
    QPainter &p = canvas.painter();

    // Two overlapping swells rising towards the right, in the palest tints,
    // so that widgets standing on the band stay legible.
    QPainterPath back;
    back.moveTo(0, height);
    back.lineTo(0, 16);
    back.cubicTo(220, 22, 420, 2, width, 6);
    back.lineTo(width, height);
    back.closeSubpath();
    p.fillPath(back, Palette::accentPale);

    QPainterPath front;
    front.moveTo(0, height);
    front.lineTo(0, 20);
    front.cubicTo(260, 24, 470, 10, width, 14);
    front.lineTo(width, height);
    front.closeSubpath();
    QLinearGradient tint(0, 0, width, 0);
    tint.setColorAt(0, Palette::hoverPale);
    tint.setColorAt(1, QColor(0xc9, 0xdc, 0xee));
    p.fillPath(front, tint);
    catalogue.addImage("backgnd/stripe.png", canvas.finish());
}
