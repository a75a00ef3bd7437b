// The least a Qt program with one window costs to start: the baseline of
// startup_bench. It shows one empty dialog and stays until it is ended, as
// the client does, so that its window can be looked at while it is shown.
// With --text the dialog holds one line of text, which is what it takes to
// load the fonts: the cost any window with words in it pays.
#include <QApplication>
#include <QDialog>
#include <QLabel>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Minimal dialog"));
    if (QCoreApplication::arguments().contains(QStringLiteral("--text")))
        new QLabel(QStringLiteral("User name"), &dialog);
    dialog.show();
    return app.exec();
}
