#include "BusySpinner.h"

#include "Canvas.h"
#include "MngWriter.h"
#include "Palette.h"
#include "PictureCatalogue.h"

#include <QConicalGradient>

void BusySpinner::addTo(PictureCatalogue &catalogue) const
{
    MngWriter writer(frameDelayMs);
    for (int i = 0; i < frameCount; ++i)
        writer.addFrame(frame(i));
    catalogue.addFile("icon/busy.mng", writer.encode());
}

QImage BusySpinner::frame(int index)
{
    Canvas canvas(size, size);
    QPainter &p = canvas.painter();
    const qreal pen = 2.2;
    const QRectF ring(pen / 2 + 1, pen / 2 + 1, size - pen - 2, size - pen - 2);

    p.setPen(QPen(Palette::line, pen));
    p.drawEllipse(ring);

    // Turning clockwise: the leading end is bright and the arc fades behind it,
    // so the direction is visible even at this size.
    const qreal head = 90.0 - index * 360.0 / frameCount;
    const qreal sweep = 130.0;
    const qreal lead = 20.0; // the gradient's seam sits clear of the round cap
    QConicalGradient fade(ring.center(), head - lead);
    QColor tail = Palette::accent;
    tail.setAlpha(30);
    fade.setColorAt(0, Palette::accent);
    fade.setColorAt(lead / 360.0, Palette::accent);
    fade.setColorAt((lead + sweep) / 360.0, tail);
    fade.setColorAt(1, tail);
    p.setPen(QPen(QBrush(fade), pen, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(ring, int(head * 16), int(sweep * 16));
    return canvas.finish();
}
