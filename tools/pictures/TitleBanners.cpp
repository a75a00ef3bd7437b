#include "TitleBanners.h"

#include "BrandArt.h"
#include "Canvas.h"
#include "Palette.h"
#include "PictureCatalogue.h"
#include "Typeface.h"

void TitleBanners::addTo(PictureCatalogue &catalogue) const
{
    catalogue.addImage(
        "backgnd/title.png",
        banner(mainWidth, 30,
               QString::fromUtf8("Private connection \u00b7 Web filter \u00b7 Anonymous e-mail")));
    catalogue.addImage("backgnd/title-login.png",
                       banner(loginWidth, 27, "Your private connection"));
}

QImage TitleBanners::banner(int width, qreal wordmarkSize, const QString &tagline)
{
    Canvas canvas(width, height);
    QPainter &p = canvas.painter();
    BrandArt::paintBanner(p, QRectF(0, 0, width, height));
    const QRectF mark(20, 15, 40, 47);
    BrandArt::paintMark(p, mark);
    const qreal textLeft = mark.right() + 14;
    BrandArt::paintWordmark(p, QPointF(textLeft, 45), wordmarkSize);
    p.setFont(Typeface::fitted(tagline, 12, false, width - textLeft - 12));
    p.setPen(Palette::onNavy);
    p.drawText(QPointF(textLeft + 1, 63), tagline);
    return canvas.finish();
}
