#include "TextBlock.h"

#include "Typeface.h"

#include <QFontMetricsF>
#include <QPainter>
#include <climits>
#include <cmath>

namespace {
constexpr qreal smallestLegible = 8;
// Down to this share of its size a text stays on one line; a wrapped text
// at full size reads better than a much smaller one.
constexpr qreal gentleShrink = 0.85;
} // namespace

TextBlock::TextBlock(const QString &text, const QFont &font, const QStringList &lines, bool fitting)
    : whole(text), typeface(font), lines(lines), fitting(fitting)
{
}

TextBlock TextBlock::fit(const QString &text, const QSizeF &room, qreal pixelSize, bool bold)
{
    const qreal gentlest = qMax(smallestLegible, std::ceil(pixelSize * gentleShrink));
    QStringList lines;
    for (qreal size = pixelSize; size >= gentlest; --size) {
        const QFont font = Typeface::font(size, bold);
        if (wrap(text, font, room, 1, lines))
            return TextBlock(text, font, lines, true);
    }
    for (qreal size = pixelSize; size >= smallestLegible; --size) {
        const QFont font = Typeface::font(size, bold);
        if (wrap(text, font, room, INT_MAX, lines))
            return TextBlock(text, font, lines, true);
    }
    for (qreal size = gentlest - 1; size >= smallestLegible; --size) {
        const QFont font = Typeface::font(size, bold);
        if (wrap(text, font, room, 1, lines))
            return TextBlock(text, font, lines, true);
    }
    return TextBlock(text, Typeface::font(smallestLegible, bold), {text}, false);
}

// Greedy: as many words on each line as its width takes. Fails when a word
// alone is too wide, or the lines are too many for the room's height.
bool TextBlock::wrap(const QString &text, const QFont &font, const QSizeF &room, int maxLines,
                     QStringList &lines)
{
    const QFontMetricsF metrics(font);
    const int fittingLines = int(room.height() / metrics.height());
    const int allowed = qMin(maxLines, fittingLines);
    lines.clear();
    QString line;
    for (const QString &word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QString longer = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
        if (metrics.horizontalAdvance(longer) <= room.width()) {
            line = longer;
            continue;
        }
        if (line.isEmpty() || metrics.horizontalAdvance(word) > room.width())
            return false;
        lines.append(line);
        line = word;
    }
    lines.append(line);
    return lines.size() <= allowed;
}

QSizeF TextBlock::size() const
{
    const QFontMetricsF metrics(typeface);
    qreal width = 0;
    for (const QString &line : lines)
        width = qMax(width, metrics.horizontalAdvance(line));
    return QSizeF(width, lines.size() * metrics.height());
}

void TextBlock::draw(QPainter &painter, const QRectF &box, Qt::Alignment alignment) const
{
    const QFontMetricsF metrics(typeface);
    const qreal lineHeight = metrics.height();
    const qreal spare = box.height() - lines.size() * lineHeight;
    qreal top = box.top();
    if (alignment & Qt::AlignBottom)
        top += spare;
    else if (!(alignment & Qt::AlignTop))
        top += spare / 2;
    painter.save();
    painter.setFont(typeface);
    for (const QString &line : lines) {
        painter.drawText(QRectF(box.left(), top, box.width(), lineHeight),
                         int(alignment & Qt::AlignHorizontal_Mask) | Qt::AlignTop, line);
        top += lineHeight;
    }
    painter.restore();
}
