#pragma once

#include "PictureGroup.h"

#include <QImage>

// The panels behind the free-account notices: a wide two-line one on the
// personal page (notice1) and a narrow five-line one on the e-mail page
// (notice2). Style-sheet backgrounds repeat, so each panel should be given
// exactly its widget's size.
class NoticePanels : public PictureGroup
{
public:
    static constexpr int wideWidth = 380;
    static constexpr int wideHeight = 44;
    static constexpr int narrowWidth = 196;
    static constexpr int narrowHeight = 104;

    void addTo(PictureCatalogue &catalogue) const override;

private:
    static QImage panel(int width, int height);
};
