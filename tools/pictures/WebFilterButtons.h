#pragma once

#include "PictureGroup.h"

#include <QImage>

class Lettering;

// The web page's filter switch, one picture per state; same size as the
// button it is shown on (25,55 to 336,108).
class WebFilterButtons : public PictureGroup
{
public:
    static constexpr int width = 312;
    static constexpr int height = 54;

    explicit WebFilterButtons(Lettering &lettering) : lettering(lettering) {}
    void addTo(PictureCatalogue &catalogue) const override;

private:
    QImage button(bool on) const;
    static void paintSwitch(QPainter &painter, const QRectF &track, bool on);

    Lettering &lettering;
};
