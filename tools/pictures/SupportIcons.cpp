#include "SupportIcons.h"

#include "Canvas.h"
#include "Glyphs.h"
#include "Palette.h"
#include "PictureCatalogue.h"

#include <QLinearGradient>

void SupportIcons::addTo(PictureCatalogue &catalogue) const
{
    catalogue.addImage("icon/faq.png", tile(Glyphs::Question, true));
    catalogue.addImage("icon/help.png", tile(Glyphs::Book, false));
    catalogue.addImage("icon/forum.png", tile(Glyphs::Bubbles, false));
    catalogue.addImage("icon/contact.png", tile(Glyphs::Headset, false));
    catalogue.addImage("icon/about.png", tile(Glyphs::Info, true));
}

QImage SupportIcons::tile(Glyphs::Kind glyph, bool ringed)
{
    Canvas canvas(size, size);
    QPainter &p = canvas.painter();
    const QRectF body(2, 2, size - 4, size - 5);

    // A soft ledge under the tile lifts it off the white page.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x04, 0x2a, 0x4a, 40));
    p.drawRoundedRect(body.translated(0, 1.5), 11, 11);
    QLinearGradient light(body.topLeft(), body.bottomLeft());
    light.setColorAt(0, Palette::accent.lighter(115));
    light.setColorAt(1, Palette::accentDark);
    p.setBrush(light);
    p.drawRoundedRect(body, 11, 11);

    const QRectF sign(body.center().x() - 14, body.center().y() - 14, 28, 28);
    if (ringed) {
        p.setPen(QPen(Palette::white, 2.3));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(sign.adjusted(1.5, 1.5, -1.5, -1.5));
        Glyphs::draw(p, glyph, sign.adjusted(4, 4, -4, -4), Palette::white, 2.6);
    } else {
        Glyphs::draw(p, glyph, sign, Palette::white, 2.0);
    }
    return canvas.finish();
}
