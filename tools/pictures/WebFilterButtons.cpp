#include "WebFilterButtons.h"

#include "Canvas.h"
#include "CardButton.h"
#include "Lettering.h"
#include "Palette.h"
#include "PictureCatalogue.h"

void WebFilterButtons::addTo(PictureCatalogue &catalogue) const
{
    catalogue.addImage("button/webfilter-on.png", button(true));
    catalogue.addImage("button/webfilter-off.png", button(false));
}

QImage WebFilterButtons::button(bool on) const
{
    Canvas canvas(width, height);
    QPainter &p = canvas.painter();
    const QColor accent = on ? Palette::green : Palette::accent;
    const QRectF content =
        CardButton::paintCard(p, QRectF(0, 0, width, height), CardButton::Normal, accent, on);
    const QRectF track(content.left(), content.center().y() - 11, 42, 22);
    paintSwitch(p, track, on);
    const QRectF text = content.adjusted(track.width() + 14, 0, 0, 0);
    const char *title = on ? QT_TRANSLATE_NOOP("PictureLettering", "Web filter is on")
                           : QT_TRANSLATE_NOOP("PictureLettering", "Web filter is off");
    const char *note =
        on ? QT_TRANSLATE_NOOP("PictureLettering", "Click to switch the filter off")
           : QT_TRANSLATE_NOOP("PictureLettering", "Click to filter ads, cookies and headers");
    CardButton::paintCaption(p, lettering, text, lettering.text(title), lettering.text(note));
    return canvas.finish();
}

void WebFilterButtons::paintSwitch(QPainter &painter, const QRectF &track, bool on)
{
    painter.save();
    const qreal r = track.height() / 2;
    painter.setPen(Qt::NoPen);
    painter.setBrush(on ? Palette::green : QColor(0xc3, 0xce, 0xd9));
    painter.drawRoundedRect(track, r, r);
    const qreal knob = r - 2.5;
    const QPointF centre(on ? track.right() - r : track.left() + r, track.center().y());
    painter.setBrush(QColor(0, 0, 0, 40));
    painter.drawEllipse(centre + QPointF(0, 1), knob, knob);
    painter.setBrush(Palette::white);
    painter.drawEllipse(centre, knob, knob);
    painter.restore();
}
