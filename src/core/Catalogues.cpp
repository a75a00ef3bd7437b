#include "core/Catalogues.h"

#include <QCoreApplication>
#include <QTranslator>

void installCatalogues(QCoreApplication &app)
{
    for (const char *name : {":/data/qt_cz", ":/data/quillnet_cz"}) {
        auto *translator = new QTranslator(&app);
        if (translator->load(QLatin1String(name)))
            app.installTranslator(translator);
        else
            delete translator;
    }
}
