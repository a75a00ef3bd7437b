#include "TrayIcons.h"

#include "Canvas.h"
#include "Palette.h"
#include "PictureCatalogue.h"
#include "ShieldShape.h"

#include <QLinearGradient>

void TrayIcons::addTo(PictureCatalogue &catalogue) const
{
    catalogue.addImage("icon/login.png", shield(Palette::accent, Glyphs::Keyhole));
    catalogue.addImage("icon/connected.png", shield(Palette::green, Glyphs::Check));
    catalogue.addImage("icon/disconnected.png", shield(Palette::red, Glyphs::Cross));
    catalogue.addImage("icon/reconnecting.png", shield(Palette::amber, Glyphs::Reconnect));
}

QImage TrayIcons::appIcon(int pixels)
{
    return shield(Palette::accent, Glyphs::Keyhole, pixels);
}

QImage TrayIcons::shield(const QColor &color, Glyphs::Kind sign, int pixels)
{
    Canvas canvas(pixels, pixels);
    QPainter &p = canvas.painter();
    // Drawn on the 32 px grid and scaled, so every size shows the same shape.
    p.scale(qreal(pixels) / size, qreal(pixels) / size);
    const QRectF bounds(3.5, 1.5, 25, 29);
    QLinearGradient light(bounds.topLeft(), bounds.bottomLeft());
    light.setColorAt(0, color.lighter(122));
    light.setColorAt(1, color);
    // A dark rim keeps the shape readable on light panels, the bright fill on dark ones.
    p.setPen(QPen(color.darker(150), 1.2));
    p.setBrush(light);
    p.drawPath(ShieldShape::path(bounds));
    Glyphs::draw(p, sign, QRectF(7.5, 5, 17, 17), Palette::white, 3.2);
    return canvas.finish();
}
