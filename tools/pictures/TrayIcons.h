#pragma once

#include "Glyphs.h"
#include "PictureGroup.h"

#include <QColor>
#include <QImage>

// The four tray icons. Each state has its own colour and sign on the same
// shield, so they stay apart even when the tray shrinks them to 16 px.
class TrayIcons : public PictureGroup
{
public:
    static constexpr int size = 32;

    void addTo(PictureCatalogue &catalogue) const override;

    // The login icon at any size: the program's icon for desktop menus.
    static QImage appIcon(int pixels);

private:
    static QImage shield(const QColor &color, Glyphs::Kind sign, int pixels = size);
};
