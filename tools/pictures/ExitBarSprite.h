#pragma once

#include "PictureGroup.h"

class Lettering;

// The exit page's three buttons (reconnect, log out, exit), one per row of
// 54 px, each in its normal, hover and pressed look side by side in columns
// of 312 px.
class ExitBarSprite : public PictureGroup
{
public:
    static constexpr int cellWidth = 312;
    static constexpr int cellHeight = 54;

    explicit ExitBarSprite(Lettering &lettering) : lettering(lettering) {}
    void addTo(PictureCatalogue &catalogue) const override;

private:
    Lettering &lettering;
};
