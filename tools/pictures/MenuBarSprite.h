#pragma once

#include "Glyphs.h"
#include "PictureGroup.h"

class Lettering;

#include <QString>

// The main window's menu bar: five buttons side by side, with the normal,
// hover and selected looks stacked in three rows of 40 px. The column
// boundaries are the ones the window slices the picture at.
class MenuBarSprite : public PictureGroup
{
public:
    static constexpr int boundaries[] = {0, 133, 277, 419, 566, 686};
    static constexpr int rowHeight = 40;
    enum Look
    {
        Normal,
        Hover,
        Selected
    };

    explicit MenuBarSprite(Lettering &lettering) : lettering(lettering) {}
    void addTo(PictureCatalogue &catalogue) const override;

private:
    void paintCell(QPainter &painter, const QRectF &cell, Look look, const QString &caption,
                   Glyphs::Kind glyph, bool lastInRow) const;

    Lettering &lettering;
};
