#pragma once

#include "ServicePeer.h"

#include <QByteArray>
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QStringList>

class LoginDlg;
class MainForm;
class TrayWidget;
class VPNConnection;

// A widget of the window found by its object name, the way a user finds it
// on screen: for typing and clicking, where no page call would do.
template <typename T> T *child(QObject *root, const char *name)
{
    return root->findChild<T *>(QLatin1String(name));
}

// A main window logged in to the local test service, with the tray, tunnel
// controller and login dialog it talks to, made as main() makes them. The
// tunnel itself stays down: the window's pages only need the service.
class MainFormFixture
{
public:
    ~MainFormFixture();

    // Starts the service and makes the tray and the tunnel controller; false (with the
    // reason in `error`) when the service does not come up.
    bool start(QString *error);
    // The same, with `deploymentLines` added to the service's deployment
    // file before the program reads it (the mail relay, the alias domain).
    bool start(QString *error, const QByteArray &deploymentLines);

    // A fresh login dialog for the account and its main window, as the
    // dialog leaves it at the end of a login (without the first answers
    // handed over). Any earlier window and login dialog are gone first.
    MainForm *logIn(const QString &user, const QString &password);
    void tearDownWindow();

    // The operations the service was asked for since the last call: the
    // api.php operation name, or the path for other requests.
    QStringList requestsSeen();
    // The account as the service holds it now.
    QJsonObject account(const QString &user);

    ServicePeer service;
    static MainForm *findForm();
    // The login dialog's own window (it owns it).
    QPointer<MainForm> form;
    // The fixture's own, from start() on; the dialog from logIn() on.
    TrayWidget *tray = nullptr;
    VPNConnection *tunnel = nullptr;
    LoginDlg *loginDialog = nullptr;
};
