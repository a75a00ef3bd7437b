#pragma once

#include "PictureGroup.h"

#include <QImage>
#include <QString>

class Lettering;

// The title pictures across the top of the main window (686 x 78) and of
// the login dialog (300 x 78).
class TitleBanners : public PictureGroup
{
public:
    static constexpr int height = 78;
    static constexpr int mainWidth = 686;
    static constexpr int loginWidth = 300;

    explicit TitleBanners(Lettering &lettering) : lettering(lettering) {}
    void addTo(PictureCatalogue &catalogue) const override;

private:
    QImage banner(int width, qreal wordmarkSize, const QString &tagline) const;

    Lettering &lettering;
};
