#pragma once

#include "PictureGroup.h"

// Small pictures of the tray's context menu.
class MenuIcons : public PictureGroup
{
public:
    static constexpr int size = 16;

    void addTo(PictureCatalogue &catalogue) const override;
};
