#include "TitleBanners.h"

#include "BrandArt.h"
#include "Canvas.h"
#include "Lettering.h"
#include "Palette.h"
#include "PictureCatalogue.h"
#include "TextBlock.h"
#include "Typeface.h"

#include <QFontMetricsF>

void TitleBanners::addTo(PictureCatalogue &catalogue) const
{
    catalogue.addImage(
        "backgnd/title.png",
        banner(mainWidth, 30,
               lettering.text(QT_TRANSLATE_NOOP(
                   "PictureLettering", "Private connection · Web filter · Anonymous e-mail"))));
    catalogue.addImage(
        "backgnd/title-login.png",
        banner(loginWidth, 27,
               lettering.text(QT_TRANSLATE_NOOP("PictureLettering", "Your private connection"))));
}

QImage TitleBanners::banner(int width, qreal wordmarkSize, const QString &tagline) const
{
    Canvas canvas(width, height);
    QPainter &p = canvas.painter();
    BrandArt::paintBanner(p, QRectF(0, 0, width, height));
    const QRectF mark(20, 15, 40, 47);
    BrandArt::paintMark(p, mark);
    const qreal textLeft = mark.right() + 14;
    BrandArt::paintWordmark(p, QPointF(textLeft, 45), wordmarkSize);
    // One line under the word mark, its baseline at y 63, 12 px clear of the right edge.
    const qreal taglineSize = 12;
    const QFontMetricsF metrics(Typeface::font(taglineSize));
    const QRectF box(textLeft + 1, 63 - metrics.ascent(), width - textLeft - 13, metrics.height());
    p.setPen(Palette::onNavy);
    lettering.draw(p, TextBlock::fit(tagline, box.size(), taglineSize), box,
                   Qt::AlignLeft | Qt::AlignVCenter);
    return canvas.finish();
}
