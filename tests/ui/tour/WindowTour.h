#pragma once

#include <QString>
#include <functional>

class LoginDlg;
class MainForm;
class MainFormFixture;
class QWidget;

// Every window, page and state of the client that a user meets, made
// against the local test service as the program makes them, each handed on
// once it has settled: the pictures of the documentation and the check that
// every text fits go the same way.
class WindowTour
{
public:
    // A stop of the tour: the window as it is now, a name for it
    // ("main-web"), and whether the documentation shows it (the others are
    // further states of the same windows: every failure text, every hint).
    // False when the stop could not be handled.
    using Visitor = std::function<bool(QWidget *window, const QString &name, bool documented)>;

    // The fixture must have started.
    explicit WindowTour(MainFormFixture &fixture) : fixture(fixture) {}

    // Every stop, also after one failed; true when all of them went well.
    bool run(const Visitor &visitor);

private:
    bool stop(QWidget *window, const QString &name, bool documented = true);
    bool loginWindow();
    bool loginFailures(LoginDlg *dialog);
    bool mainWindow();
    bool webPageStates(MainForm *form);
    bool dialogs();

    MainFormFixture &fixture;
    Visitor visit;
};
