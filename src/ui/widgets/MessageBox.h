#pragma once

#include <QMessageBox>
#include <QStringList>
#include <functional>

// Every message box of the program comes through here: the same boxes as
// QMessageBox's own static functions build, plus a script for tests. While a
// script is set, no box is shown: each takes the next scripted answer, or
// the default answer once none is left (NoButton unless set, which every
// caller reads as "not agreed"), and its text is recorded.
class MessageBox
{
public:
    using Button = QMessageBox::StandardButton;
    using Buttons = QMessageBox::StandardButtons;

    static Button information(QWidget *parent, const QString &title, const QString &text,
                              Buttons buttons = QMessageBox::Ok,
                              Button defaultButton = QMessageBox::NoButton);
    static Button warning(QWidget *parent, const QString &title, const QString &text,
                          Buttons buttons = QMessageBox::Ok,
                          Button defaultButton = QMessageBox::NoButton);
    static Button critical(QWidget *parent, const QString &title, const QString &text,
                           Buttons buttons = QMessageBox::Ok,
                           Button defaultButton = QMessageBox::NoButton);
    static Button question(QWidget *parent, const QString &title, const QString &text,
                           Buttons buttons = QMessageBox::Yes | QMessageBox::No,
                           Button defaultButton = QMessageBox::NoButton);

    // For a box its caller builds and keeps (to close it itself, or to give
    // it window flags): runs it modally and returns the button chosen.
    static Button exec(QMessageBox &box);
    // Opens a box without waiting for it: the caller's work goes on while
    // the user reads. Scripted, the box is recorded and stays closed.
    static void open(QMessageBox *box);

    // The test script.
    static void setNextAnswer(Button answer);
    static void setDefaultAnswer(Button answer);
    // The texts of the boxes asked since the last reset, in order.
    static QStringList askedTexts();
    // Called with each scripted box before it is answered: a test can look
    // at the box and change the world while the user is being asked.
    static void setAskedHook(std::function<void(QMessageBox &box)> hook);
    // Forgets answers, texts and hook: boxes are shown again.
    static void resetScript();

private:
    static Button ask(QMessageBox::Icon icon, QWidget *parent, const QString &title,
                      const QString &text, Buttons buttons, Button defaultButton);
    static bool scripted();
    static Button answerScripted(QMessageBox &box);
};
