#include "CardButton.h"

#include "Lettering.h"
#include "Palette.h"
#include "TextBlock.h"
#include "Typeface.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>

namespace {
// An opaque tint of the colour on white, so the card's shadow cannot show through.
QColor onWhite(const QColor &color, qreal strength)
{
    const auto mix = [strength](int channel) { return qRound(255 + (channel - 255) * strength); };
    return QColor(mix(color.red()), mix(color.green()), mix(color.blue()));
}
} // namespace

QRectF CardButton::paintCard(QPainter &painter, const QRectF &cell, Look look, const QColor &accent,
                             bool tinted)
{
    painter.save();
    const QRectF card = cell.adjusted(1.5, 1.5, -1.5, -3);
    const qreal radius = 8;
    if (look != Pressed) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0x04, 0x2a, 0x4a, look == Hover ? 40 : 22));
        painter.drawRoundedRect(card.translated(0, 1.5), radius, radius);
    }

    QColor top = Palette::white, bottom(0xf5, 0xf8, 0xfb), border = Palette::line;
    const QColor strongBorder = onWhite(accent, 0.7);
    if (look == Pressed) {
        top = onWhite(accent, 0.16);
        bottom = onWhite(accent, 0.09);
        border = strongBorder;
    } else if (look == Hover || tinted) {
        top = tinted ? onWhite(accent, 0.05) : Palette::white;
        bottom = onWhite(accent, look == Hover ? 0.18 : 0.13);
        border = strongBorder;
    }
    QLinearGradient fill(card.topLeft(), card.bottomLeft());
    fill.setColorAt(0, top);
    fill.setColorAt(1, bottom);
    painter.setPen(QPen(border, 1));
    painter.setBrush(fill);
    painter.drawRoundedRect(card, radius, radius);
    painter.restore();

    // Pressed content sinks by a pixel, as if pushed.
    const QRectF content = card.adjusted(10, 0, -10, 0);
    return look == Pressed ? content.translated(0, 1) : content;
}

void CardButton::paintBadge(QPainter &painter, QPointF centre, Look look, const QColor &accent,
                            Glyphs::Kind glyph)
{
    painter.save();
    const qreal r = badgeDiameter / 2;
    QColor disc = accent;
    disc.setAlpha(look == Normal ? 30 : 48);
    QColor sign = accent;
    if (look == Pressed) {
        disc = accent;
        sign = Palette::white;
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(disc);
    painter.drawEllipse(centre, r, r);
    const qreal g = badgeDiameter * 0.56;
    Glyphs::draw(painter, glyph, QRectF(centre.x() - g / 2, centre.y() - g / 2, g, g), sign, 2.3);
    painter.restore();
}

void CardButton::paintCaption(QPainter &painter, Lettering &lettering, const QRectF &area,
                              const QString &title, const QString &subtitle)
{
    painter.save();
    const qreal titleSize = 15, noteSize = 11;
    // One line for the title, all the rest for the explanation.
    const qreal titleLine = QFontMetricsF(Typeface::font(titleSize, true)).height();
    const TextBlock heading =
        TextBlock::fit(title, QSizeF(area.width(), titleLine), titleSize, true);
    const qreal titleHeight = heading.size().height();
    const TextBlock note =
        TextBlock::fit(subtitle, QSizeF(area.width(), area.height() - titleHeight), noteSize);
    const qreal noteHeight = note.size().height();
    const qreal top = area.center().y() - (titleHeight + noteHeight) / 2;
    painter.setPen(Palette::navy);
    lettering.draw(painter, heading, QRectF(area.left(), top, area.width(), titleHeight),
                   Qt::AlignLeft | Qt::AlignVCenter);
    painter.setPen(Palette::textMuted);
    lettering.draw(painter, note, QRectF(area.left(), top + titleHeight, area.width(), noteHeight),
                   Qt::AlignLeft | Qt::AlignVCenter);
    painter.restore();
}
