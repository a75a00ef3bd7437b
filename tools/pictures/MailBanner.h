#pragma once

#include "PictureGroup.h"

// The dark header of the outgoing-mail question (343 px wide, the dialog's
// fixed width) under its white 24 px title.
class MailBanner : public PictureGroup
{
public:
    static constexpr int width = 343;
    static constexpr int height = 56;

    void addTo(PictureCatalogue &catalogue) const override;
};
