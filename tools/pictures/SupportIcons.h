#pragma once

#include "Glyphs.h"
#include "PictureGroup.h"

#include <QImage>

// The large tiles beside the support page's links.
class SupportIcons : public PictureGroup
{
public:
    static constexpr int size = 48;

    void addTo(PictureCatalogue &catalogue) const override;

private:
    static QImage tile(Glyphs::Kind glyph, bool ringed);
};
