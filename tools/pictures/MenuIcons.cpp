#include "MenuIcons.h"

#include "Canvas.h"
#include "Glyphs.h"
#include "Palette.h"
#include "PictureCatalogue.h"

void MenuIcons::addTo(PictureCatalogue &catalogue) const
{
    const struct
    {
        const char *path;
        Glyphs::Kind glyph;
        QColor color;
    } entries[] = {
        {"icon/mail.png", Glyphs::Envelope, Palette::accent},
        {"icon/show.png", Glyphs::Eye, Palette::navy},
        {"icon/hide.png", Glyphs::EyeSlash, Palette::textMuted},
        {"icon/quit.png", Glyphs::Power, Palette::red},
    };
    for (const auto &entry : entries) {
        Canvas canvas(size, size);
        Glyphs::draw(canvas.painter(), entry.glyph, QRectF(0, 0, size, size), entry.color, 2.2);
        catalogue.addImage(entry.path, canvas.finish());
    }
}
