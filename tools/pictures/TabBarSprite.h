#pragma once

#include "PictureGroup.h"

#include <QRectF>
#include <QString>

class Lettering;
class QPainter;

// The settings page's tab bar: two tabs in rows of 26 px (normal, hover,
// selected) and, to their right, the plain strip that fills the bar.
class TabBarSprite : public PictureGroup
{
public:
    static constexpr int tabBoundaries[] = {0, 107, 213};
    static constexpr int width = 686;
    static constexpr int rowHeight = 26;
    enum Look
    {
        Normal,
        Hover,
        Selected
    };

    explicit TabBarSprite(Lettering &lettering) : lettering(lettering) {}
    void addTo(PictureCatalogue &catalogue) const override;

private:
    void paintTab(QPainter &painter, const QRectF &cell, Look look, const QString &caption) const;
    static void paintBaseline(QPainter &painter, const QRectF &cell);

    Lettering &lettering;
};
