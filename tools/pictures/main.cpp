// Draws every picture of the program into a folder, together with the
// resource collection file that rcc turns into graphics.rcc; or, with
// --app-icons, the program's icon as an icon theme folder for installing.

#include "BusySpinner.h"
#include "ComboArrow.h"
#include "ExitBarSprite.h"
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
    const QStringList args = app.arguments();
    if (args.size() == 3 && args.at(1) == QLatin1String("--app-icons"))
        return writeAppIcons(args.at(2));
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: quillnet_graphics_gen <output folder>\n"
                             "       quillnet_graphics_gen --app-icons <icon theme folder>\n");
        return 2;
    }

    std::vector<std::unique_ptr<PictureGroup>> groups;
    groups.push_back(std::make_unique<TitleBanners>());
    groups.push_back(std::make_unique<MenuBarSprite>());
    groups.push_back(std::make_unique<TabBarSprite>());
    groups.push_back(std::make_unique<ExitBarSprite>());
    groups.push_back(std::make_unique<WebFilterButtons>());
    groups.push_back(std::make_unique<LoginStripes>());
    groups.push_back(std::make_unique<PageStripe>());
    groups.push_back(std::make_unique<NoticePanels>());
    groups.push_back(std::make_unique<ProxyPanel>());
    groups.push_back(std::make_unique<MailBanner>());
    groups.push_back(std::make_unique<TrayIcons>());
    groups.push_back(std::make_unique<MenuIcons>());
    groups.push_back(std::make_unique<NoticeIcons>());
    groups.push_back(std::make_unique<SupportIcons>());
    groups.push_back(std::make_unique<ComboArrow>());
    groups.push_back(std::make_unique<BusySpinner>());

    PictureCatalogue catalogue(args.at(1));
    for (const auto &group : groups)
        group->addTo(catalogue);
    catalogue.writeCollection("graphics.qrc", "/img");
    return catalogue.failed() ? 1 : 0;
}
