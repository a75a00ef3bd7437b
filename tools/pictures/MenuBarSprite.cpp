#include "MenuBarSprite.h"

#include "Canvas.h"
#include "Lettering.h"
#include "Palette.h"
#include "PictureCatalogue.h"
#include "TabShape.h"
#include "TextBlock.h"

#include <iterator>

namespace {
const QColor barColor(0x0a, 0x36, 0x5a);
}

void MenuBarSprite::addTo(PictureCatalogue &catalogue) const
{
    const struct
    {
        const char *caption;
        Glyphs::Kind glyph;
    } buttons[] = {
        {QT_TRANSLATE_NOOP("PictureLettering", "Web surfing"), Glyphs::Globe},
        {QT_TRANSLATE_NOOP("PictureLettering", "E-mail"), Glyphs::Envelope},
        {QT_TRANSLATE_NOOP("PictureLettering", "Settings"), Glyphs::Gear},
        {QT_TRANSLATE_NOOP("PictureLettering", "Support"), Glyphs::Lifebuoy},
        {QT_TRANSLATE_NOOP("PictureLettering", "Exit"), Glyphs::Power},
    };
    constexpr int count = int(std::size(boundaries)) - 1;
    static_assert(std::size(buttons) == count);

    Canvas canvas(boundaries[count], 3 * rowHeight, barColor);
    for (int look = Normal; look <= Selected; ++look) {
        for (int i = 0; i < count; ++i) {
            const QRectF cell(boundaries[i], look * rowHeight, boundaries[i + 1] - boundaries[i],
                              rowHeight);
            paintCell(canvas.painter(), cell, Look(look), lettering.text(buttons[i].caption),
                      buttons[i].glyph, i == count - 1);
        }
    }
    catalogue.addImage("button/menubar.png", canvas.finish());
}

void MenuBarSprite::paintCell(QPainter &painter, const QRectF &cell, Look look,
                              const QString &caption, Glyphs::Kind glyph, bool lastInRow) const
{
    painter.save();
    painter.setClipRect(cell);
    // A faint line along the top parts the bar from the title picture above.
    painter.fillRect(QRectF(cell.left(), cell.top(), cell.width(), 1), QColor(255, 255, 255, 18));

    QColor text = Palette::onNavy, icon = Palette::accentSoft;
    const QRectF tab = cell.adjusted(4, 6, -4, 0);
    if (look == Hover) {
        painter.fillPath(TabShape::path(tab, 6), Palette::navyRaised);
        text = icon = Palette::white;
    } else if (look == Selected) {
        // White like the page below, which the tab runs into.
        painter.fillPath(TabShape::path(tab, 6), Palette::white);
        text = Palette::navy;
        icon = Palette::accent;
    } else if (!lastInRow) {
        painter.fillRect(QRectF(cell.right() - 1, cell.top() + 13, 1, 16),
                         QColor(255, 255, 255, 34));
    }

    const qreal glyphSize = 17, gap = 7;
    // 8 px of margin on either side of the sign and its caption.
    const TextBlock block =
        TextBlock::fit(caption, QSizeF(tab.width() - glyphSize - gap - 16, tab.height()), 13, true);
    const qreal textWidth = block.size().width();
    const qreal left = tab.center().x() - (glyphSize + gap + textWidth) / 2;
    const qreal middle = tab.center().y();
    Glyphs::draw(painter, glyph, QRectF(left, middle - glyphSize / 2, glyphSize, glyphSize), icon,
                 2.1);
    painter.setPen(text);
    lettering.draw(painter, block,
                   QRectF(left + glyphSize + gap, tab.top(), textWidth + 1, tab.height()),
                   Qt::AlignLeft | Qt::AlignVCenter);
    painter.restore();
}
