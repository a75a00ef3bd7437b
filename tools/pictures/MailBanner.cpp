#include "MailBanner.h"

#include "BrandArt.h"
#include "Canvas.h"
#include "Palette.h"
#include "PictureCatalogue.h"

void MailBanner::addTo(PictureCatalogue &catalogue) const
{
    Canvas canvas(width, height);
    QPainter &p = canvas.painter();
    BrandArt::paintBanner(p, QRectF(0, 0, width, height));
    p.fillRect(QRectF(0, height - 3, width, 3), Palette::accent);
    catalogue.addImage("backgnd/sendmail.png", canvas.finish());
}
