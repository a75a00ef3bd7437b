#include "ExitBarSprite.h"

#include "Canvas.h"
#include "CardButton.h"
#include "Lettering.h"
#include "Palette.h"
#include "PictureCatalogue.h"

void ExitBarSprite::addTo(PictureCatalogue &catalogue) const
{
    const struct
    {
        const char *title;
        const char *note;
        Glyphs::Kind glyph;
        QColor accent;
    } rows[] = {
        {QT_TRANSLATE_NOOP("PictureLettering", "Reconnect"),
         QT_TRANSLATE_NOOP("PictureLettering", "Renew the secure connection"), Glyphs::Reconnect,
         Palette::accent},
        {QT_TRANSLATE_NOOP("PictureLettering", "Log out"),
         QT_TRANSLATE_NOOP("PictureLettering", "Disconnect and sign in as another user"),
         Glyphs::Logout, Palette::accentDark},
        {QT_TRANSLATE_NOOP("PictureLettering", "Exit Quillnet"),
         QT_TRANSLATE_NOOP("PictureLettering", "Close the connection and quit"), Glyphs::Power,
         Palette::red},
    };
    const CardButton::Look looks[] = {CardButton::Normal, CardButton::Hover, CardButton::Pressed};

    Canvas canvas(3 * cellWidth, 3 * cellHeight);
    QPainter &p = canvas.painter();
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            const QRectF cell(column * cellWidth, row * cellHeight, cellWidth, cellHeight);
            p.save();
            p.setClipRect(cell);
            const QRectF content = CardButton::paintCard(p, cell, looks[column], rows[row].accent);
            const qreal d = CardButton::badgeDiameter;
            CardButton::paintBadge(p, QPointF(content.left() + d / 2, content.center().y()),
                                   looks[column], rows[row].accent, rows[row].glyph);
            CardButton::paintCaption(p, lettering, content.adjusted(d + 12, 0, 0, 0),
                                     lettering.text(rows[row].title),
                                     lettering.text(rows[row].note));
            p.restore();
        }
    }
    catalogue.addImage("button/exitbar.png", canvas.finish());
}
