// The least a Qt program with one window costs to start: the baseline of
// startup_bench. It shows one empty dialog and stays until it is ended, as
// the client does, so that its window can be looked at while it is shown.
#include <QApplication>
#include <QDialog>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Minimal dialog"));
    dialog.show();
    return app.exec();
}
