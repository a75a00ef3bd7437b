#pragma once

#include "PictureGroup.h"

// The quiet band along the bottom edge of every main-window page and of the
// support dialog (686 px wide, placed at the bottom without repeating).
class PageStripe : public PictureGroup
{
public:
    static constexpr int width = 686;
    static constexpr int height = 24;

    void addTo(PictureCatalogue &catalogue) const override;
};
