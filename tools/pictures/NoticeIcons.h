#pragma once

#include "Glyphs.h"
#include "PictureGroup.h"

#include <QImage>

// The signs beside progress notices (also the ticks of the web page's
// status lines), sized for 13 px text.
class NoticeIcons : public PictureGroup
{
public:
    static constexpr int size = 16;

    void addTo(PictureCatalogue &catalogue) const override;

private:
    static QImage disc(const QColor &color, Glyphs::Kind glyph);
    static QImage warningTriangle();
};
