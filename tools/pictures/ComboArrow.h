#pragma once

#include "PictureGroup.h"

// The drop-down arrow of the split button. It is drawn at its natural size
// with its top at half the button height minus 4, so the arrow sits in the
// middle rows of an 8 px tall picture to come out vertically centred.
class ComboArrow : public PictureGroup
{
public:
    static constexpr int width = 9;
    static constexpr int height = 8;

    void addTo(PictureCatalogue &catalogue) const override;
};
