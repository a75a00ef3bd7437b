#include "TabBarSprite.h"

#include "Canvas.h"
#include "Lettering.h"
#include "Palette.h"
#include "PictureCatalogue.h"
#include "TabShape.h"
#include "TextBlock.h"

#include <iterator>

void TabBarSprite::addTo(PictureCatalogue &catalogue) const
{
    const char *captions[] = {QT_TRANSLATE_NOOP("PictureLettering", "Personal"),
                              QT_TRANSLATE_NOOP("PictureLettering", "Proxy")};
    constexpr int tabs = int(std::size(tabBoundaries)) - 1;
    static_assert(std::size(captions) == tabs);

    Canvas canvas(width, 3 * rowHeight, Palette::white);
    QPainter &p = canvas.painter();
    for (int look = Normal; look <= Selected; ++look) {
        const qreal top = look * rowHeight;
        for (int i = 0; i < tabs; ++i) {
            const QRectF cell(tabBoundaries[i], top, tabBoundaries[i + 1] - tabBoundaries[i],
                              rowHeight);
            paintTab(p, cell, Look(look), lettering.text(captions[i]));
        }
        paintBaseline(p, QRectF(tabBoundaries[tabs], top, width - tabBoundaries[tabs], rowHeight));
    }
    catalogue.addImage("button/tabbar.png", canvas.finish());
}

void TabBarSprite::paintTab(QPainter &painter, const QRectF &cell, Look look,
                            const QString &caption) const
{
    painter.save();
    painter.setClipRect(cell);
    const QRectF tab = cell.adjusted(2.5, 3.5, -2.5, 0);
    QColor text = Palette::accent;
    if (look == Selected) {
        painter.setPen(QPen(Palette::line, 1));
        painter.setBrush(Palette::white);
        painter.drawPath(TabShape::path(tab, 4));
        // The accent cap marks the open tab without relying on colour alone.
        painter.fillPath(TabShape::path(QRectF(tab.left(), tab.top(), tab.width(), 3), 4),
                         Palette::accent);
        text = Palette::navy;
    } else {
        paintBaseline(painter, cell);
        painter.setPen(QPen(Palette::line, 1));
        painter.setBrush(look == Hover ? Palette::hoverPale : Palette::accentPale);
        painter.drawPath(TabShape::path(tab.adjusted(0, 0, 0, -1), 4));
        if (look == Hover)
            text = Palette::navy;
    }
    painter.setPen(text);
    const QRectF box = tab.adjusted(5, 2, -5, 0);
    lettering.draw(painter, TextBlock::fit(caption, box.size(), 12, look == Selected), box,
                   Qt::AlignCenter);
    painter.restore();
}

void TabBarSprite::paintBaseline(QPainter &painter, const QRectF &cell)
{
    painter.fillRect(QRectF(cell.left(), cell.bottom() - 1, cell.width(), 1), Palette::line);
}
