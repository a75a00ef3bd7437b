// Shows every window and page of the client against the local test service
// and saves a picture of each the documentation shows (with --every-state,
// of every state the tour passes), in Czech as the program shows itself
// (with --english, without its catalogue). A text cut off in any state
// fails the run, naming the widget. Run it through scripts/screenshots,
// which gives it a private X screen.
//
// Usage: screenshot_tour OUTPUT_FOLDER [--english] [--every-state]

#include "MainFormFixture.h"
#include "TextFit.h"
#include "WindowTour.h"
#include "core/Catalogues.h"

#include <QApplication>
#include <QDir>
#include <QWidget>
#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QStringList options = app.arguments().mid(1);
    const bool english = options.removeAll(QStringLiteral("--english"));
    const bool everyState = options.removeAll(QStringLiteral("--every-state"));
    if (options.size() != 1) {
        std::fprintf(stderr, "usage: screenshot_tour OUTPUT_FOLDER [--english] [--every-state]\n");
        return 2;
    }
    if (!english)
        installCatalogues(app);
    const QDir output(options.first());
    if (!output.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "cannot make %s\n", qPrintable(options.first()));
        return 1;
    }
    MainFormFixture fixture;
    QString error;
    if (!fixture.start(&error)) {
        std::fprintf(stderr, "test service: %s\n", qPrintable(error));
        return 1;
    }
    int clipped = 0;
    const bool saved =
        WindowTour(fixture).run([&](QWidget *window, const QString &name, bool documented) {
            const QString path = output.filePath(name + QStringLiteral(".png"));
            if (documented || everyState) {
                if (!window->grab().save(path)) {
                    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
                    return false;
                }
                std::printf("%s\n", qPrintable(path));
            }
            for (const QString &line : clippedTexts(window)) {
                std::fprintf(stderr, "%s: cut off: %s\n", qPrintable(name), qPrintable(line));
                ++clipped;
            }
            return true;
        });
    if (clipped)
        std::fprintf(stderr, "%d texts do not fit their place\n", clipped);
    return saved && clipped == 0 ? 0 : 1;
}
