#pragma once

#include <QFont>
#include <QRectF>
#include <QSizeF>
#include <QStringList>

class QPainter;

// A text laid out for a room of a given size. A text too wide for one line
// is first shrunk a little, then wrapped at its spaces at full size and
// smaller, and only then shrunk on one line down to the smallest legible
// size; fits() tells whether any of that was enough.
class TextBlock
{
public:
    static TextBlock fit(const QString &text, const QSizeF &room, qreal pixelSize,
                         bool bold = false);

    bool fits() const { return fitting; }
    // The extent of the laid-out lines.
    QSizeF size() const;
    qreal pixelSize() const { return typeface.pixelSize(); }
    const QString &text() const { return whole; }
    // Only the horizontal and vertical alignment flags are used.
    void draw(QPainter &painter, const QRectF &box, Qt::Alignment alignment) const;

private:
    TextBlock(const QString &text, const QFont &font, const QStringList &lines, bool fitting);
    static bool wrap(const QString &text, const QFont &font, const QSizeF &room, int maxLines,
                     QStringList &lines);

    QString whole;
    QFont typeface;
    QStringList lines;
    bool fitting;
};
