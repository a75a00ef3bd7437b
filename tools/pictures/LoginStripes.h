#pragma once

#include "PictureGroup.h"

#include <QImage>

// The band at the foot of the login dialog behind the hint text, and the
// amber variant with a warning sign that replaces it while an attention
// message is shown. Both are 300 x 56 so they can swap in one label placed
// at 0,383: the hint text sits at 12,390 and the attention text at 55,383.
class LoginStripes : public PictureGroup
{
public:
    static constexpr int width = 300;
    static constexpr int height = 56;

    void addTo(PictureCatalogue &catalogue) const override;

private:
    static QImage hintBand();
    static QImage attentionBand();
};
