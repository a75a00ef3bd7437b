#pragma once

#include <QObject>

class QDialog;

// Where the program's short-lived dialogs announce themselves: the tray
// follows them (to hide and show them with the rest, and to know whether
// the program is the active one) without each dialog knowing the tray.
class OpenDialogs : public QObject
{
    Q_OBJECT

public:
    static OpenDialogs &instance();

    void announceOpened(QDialog *dialog) { emit opened(dialog); }
    void announceClosed(QDialog *dialog) { emit closed(dialog); }
    void announceActivated() { emit activated(); }
    void announceDeactivated() { emit deactivated(); }

signals:
    void opened(QDialog *dialog);
    // Sent from the dialog's destructor: the pointer is only to compare.
    void closed(QDialog *dialog);
    void activated();
    void deactivated();

private:
    OpenDialogs() = default;
    Q_DISABLE_COPY_MOVE(OpenDialogs)
};
