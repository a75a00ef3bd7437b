#include "app/AlreadyRunning.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>

void showAlreadyRunning(int &argc, char **argv)
{
    // The text is not translated: no catalogue is loaded at this point.
    static const char Text[] = "Quillnet is allready running.";
    std::fprintf(stderr, "quillnet: %s\n", Text);

    QApplication app(argc, argv);
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Quillnet"), QString::fromLatin1(Text),
                    QMessageBox::Ok);
    // The first copy may be hidden in the tray: bring this box to the front.
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.exec();
}
