// Draws every picture of the program into a folder, together with the
// resource collection file that rcc turns into graphics.rcc; or, with
// --app-icons, the program's icon as an icon theme folder for installing.
//
// The lettering comes from the program's compiled catalogue (--catalogue),
// or with --english stays in its source wording. A text the catalogue lacks
// or one that does not fit its box is named on the error output, and with
// --strict fails the run.

#include "BusySpinner.h"
#include "ComboArrow.h"
#include "ExitBarSprite.h"
#include "Lettering.h"
#include "LoginStripes.h"
#include "MailBanner.h"
#include "MenuBarSprite.h"
#include "MenuIcons.h"
#include "NoticeIcons.h"
#include "NoticePanels.h"
#include "PageStripe.h"
#include "PictureCatalogue.h"
#include "ProxyPanel.h"
#include "SupportIcons.h"
#include "TabBarSprite.h"
#include "TitleBanners.h"
#include "TrayIcons.h"
#include "WebFilterButtons.h"

#include <QCommandLineParser>
#include <QGuiApplication>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

// Desktops pick the nearest size; 48 px is the one every theme must have.
int writeAppIcons(const QString &themeDir)
{
    PictureCatalogue theme(themeDir);
    for (int pixels : {16, 32, 48, 64, 128, 256})
        theme.addImage(QStringLiteral("%1x%1/apps/quillnet.png").arg(pixels),
                       TrayIcons::appIcon(pixels));
    return theme.failed() ? 1 : 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption appIcons("app-icons", "Draw the program's icon as an icon theme.");
    const QCommandLineOption cataloguePath("catalogue", "The compiled catalogue to letter from.",
                                           "file.qm");
    const QCommandLineOption english("english", "Keep the lettering in its source wording.");
    const QCommandLineOption strict("strict", "Fail on a missing or overflowing text.");
    parser.addOptions({appIcons, cataloguePath, english, strict});
    parser.addPositionalArgument("folder", "Where the pictures go.");
    parser.process(app);
    if (parser.positionalArguments().size() != 1 ||
        (!parser.isSet(appIcons) && !parser.isSet(cataloguePath) && !parser.isSet(english))) {
        std::fprintf(
            stderr, "usage: quillnet_graphics_gen [--strict] (--catalogue <file.qm> | --english |\n"
                    "           --catalogue <file.qm> --english) <output folder>\n"
                    "       quillnet_graphics_gen --app-icons <icon theme folder>\n");
        return 2;
    }
    const QString folder = parser.positionalArguments().constFirst();
    if (parser.isSet(appIcons))
        return writeAppIcons(folder);

    Lettering lettering(parser.value(cataloguePath), !parser.isSet(english));
    if (parser.isSet(cataloguePath) && !lettering.loaded()) {
        std::fprintf(stderr, "quillnet_graphics_gen: cannot load the catalogue %s\n",
                     qPrintable(parser.value(cataloguePath)));
        return 1;
    }

    std::vector<std::unique_ptr<PictureGroup>> groups;
    groups.push_back(std::make_unique<TitleBanners>(lettering));
    groups.push_back(std::make_unique<MenuBarSprite>(lettering));
    groups.push_back(std::make_unique<TabBarSprite>(lettering));
    groups.push_back(std::make_unique<ExitBarSprite>(lettering));
    groups.push_back(std::make_unique<WebFilterButtons>(lettering));
    groups.push_back(std::make_unique<LoginStripes>());
    groups.push_back(std::make_unique<PageStripe>());
    groups.push_back(std::make_unique<NoticePanels>());
    groups.push_back(std::make_unique<ProxyPanel>(lettering));
    groups.push_back(std::make_unique<MailBanner>());
    groups.push_back(std::make_unique<TrayIcons>());
    groups.push_back(std::make_unique<MenuIcons>());
    groups.push_back(std::make_unique<NoticeIcons>());
    groups.push_back(std::make_unique<SupportIcons>());
    groups.push_back(std::make_unique<ComboArrow>());
    groups.push_back(std::make_unique<BusySpinner>());

    PictureCatalogue catalogue(folder);
    for (const auto &group : groups)
        group->addTo(catalogue);
    catalogue.writeCollection("graphics.qrc", "/img");
    for (const QString &problem : lettering.problems())
        std::fprintf(stderr, "quillnet_graphics_gen: %s: %s\n",
                     parser.isSet(strict) ? "error" : "warning", qPrintable(problem));
    const bool lettered = lettering.problems().isEmpty() || !parser.isSet(strict);
    return catalogue.failed() || !lettered ? 1 : 0;
}
