#pragma once

#include <QFont>
#include <QString>

// The font for text drawn into pictures. DejaVu Sans comes with every fresh
// Debian; where it is missing, any sans-serif face stands in, and TextBlock
// shrinks or wraps the captions it sets rather than let them overflow.
class Typeface
{
public:
    static QFont font(qreal pixelSize, bool bold = false);

private:
    static QString family();
};
