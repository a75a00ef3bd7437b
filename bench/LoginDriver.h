#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>

class LoginDlg;
class QEvent;
class TrayWidget;
class VPNConnection;

// Drives logins through the real login dialog the way a user does, on the
// tray and the tunnel controller it is given: a fresh dialog for each
// login, the credentials
// typed, the login button pressed, and later the log-out. It notes when the
// tunnel came up and when the main window appeared.
class LoginDriver : public QObject
{
public:
    // Milliseconds since the login button was pressed; -1 when it did not happen.
    struct Times
    {
        double connected = -1;
        double mainWindowShown = -1;
    };

    // Both must outlive the driver.
    LoginDriver(VPNConnection *tunnel, TrayWidget *tray);
    ~LoginDriver() override;

    // A fresh dialog on the screen, its update check over; false on timeout.
    bool openDialog(int timeoutMs);
    // Presses the login button and waits for the main window.
    Times logIn(const QString &user, const QString &password, int timeoutMs);
    // Logs out as the main window's Log out does, waits for the tunnel to be
    // down and the dialog ready again, then deletes the dialog.
    bool logOutAndClose(int timeoutMs);
    // What the dialog tells the user at the moment.
    QString attention() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    template <typename T> T *dialogChild(const char *name) const;
    bool loginButtonEnabled() const;

    VPNConnection *const tunnel;
    TrayWidget *const tray;
    LoginDlg *dialog = nullptr;
    QElapsedTimer clock;
    Times times;
    bool updateChecked = false;
};
