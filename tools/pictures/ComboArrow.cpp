#include "ComboArrow.h"

#include "Canvas.h"
#include "Palette.h"
#include "PictureCatalogue.h"

void ComboArrow::addTo(PictureCatalogue &catalogue) const
{
    Canvas canvas(width, height);
    QPainter &p = canvas.painter();
    p.setPen(QPen(Palette::navy, 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Palette::navy);
    p.drawPolygon(QPolygonF({{1, 2}, {8, 2}, {4.5, 6}}));
    catalogue.addImage("icon/combo.png", canvas.finish());
}
