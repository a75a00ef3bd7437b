#pragma once

#include <QFont>
#include <QString>

// The font for text drawn into pictures. DejaVu Sans comes with every fresh
// Debian; where it is missing, any sans-serif face stands in, and captions
// shrink rather than overflow their button.
class Typeface
{
public:
    static QFont font(qreal pixelSize, bool bold = false);
    static QFont fitted(const QString &text, qreal pixelSize, bool bold, qreal maxWidth);

private:
    static QString family();
};
