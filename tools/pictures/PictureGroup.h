#pragma once

class PictureCatalogue;

// A family of related pictures that share drawing code (all tray icons, all
// backgrounds, ...). Each family adds its pictures to the catalogue.
class PictureGroup
{
public:
    virtual ~PictureGroup() = default;
    virtual void addTo(PictureCatalogue &catalogue) const = 0;
};
