#include "Typeface.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QStringList>

QFont Typeface::font(qreal pixelSize, bool bold)
{
    QFont font(family());
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(qRound(pixelSize));
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

// Families may carry a foundry suffix ("Nimbus Sans [UKWN]") and one foundry
// may hold only some of the styles, so the bare name is what is asked for. A generic alias is only
// trusted when it resolves to a face that can write Latin, since a bare fontconfig setup may map it
// to a symbol font.
QString Typeface::family()
{
    static const QString chosen = [] {
        const QStringList available = QFontDatabase::families();
        const auto bareName = [](const QString &family) {
            return family.section(QLatin1String(" ["), 0, 0);
        };
        for (const char *wanted :
             {"DejaVu Sans", "Noto Sans", "Liberation Sans", "Nimbus Sans", "FreeSans"}) {
            for (const QString &family : available) {
                if (bareName(family) == QLatin1String(wanted))
                    return bareName(family); // lets matching pick the upright face of any foundry
            }
        }
        const auto writesLatin = [](const QString &family) {
            return QFontDatabase::writingSystems(family).contains(QFontDatabase::Latin);
        };
        const QString general =
            QFontInfo(QFontDatabase::systemFont(QFontDatabase::GeneralFont)).family();
        if (writesLatin(general))
            return general;
        for (const QString &family : available) {
            if (writesLatin(family) && !QFontDatabase::isFixedPitch(family))
                return family;
        }
        return general;
    }();
    return chosen;
}
