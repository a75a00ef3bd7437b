#pragma once

#include "PictureGroup.h"

#include <QImage>

// The busy animation beside progress notices: an arc turning on a faint
// track, one full turn per loop.
class BusySpinner : public PictureGroup
{
public:
    static constexpr int size = 16;
    static constexpr int frameCount = 12;
    static constexpr int frameDelayMs = 75;

    void addTo(PictureCatalogue &catalogue) const override;
    static QImage frame(int index);
};
