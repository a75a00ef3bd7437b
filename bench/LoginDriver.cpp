#include "LoginDriver.h"

#include "BenchSupport.h"
#include "app/Instances.h"
#include "net/RequestServer.h"
#include "ui/login/LoginDlg.h"
#include "ui/main/MainForm.h"
#include "vpn/VPNConnection.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

template <typename T> T *dialogChild(const char *name)
{
    return loginDlg ? loginDlg->findChild<T *>(QLatin1String(name)) : nullptr;
}

bool loginButtonEnabled()
{
    const QPushButton *button = dialogChild<QPushButton>("loginBtn");
    return button && button->isEnabled();
}

} // namespace

LoginDriver::LoginDriver()
{
    // Connected before any dialog exists, so the time is taken before the
    // dialog starts loading the account data.
    connect(vpnConnection, &VPNConnection::statusChanged, this, [this](CnnStatus status) {
        if (status == Connected && clock.isValid() && times.connected < 0)
            times.connected = elapsedMs(clock);
    });
    qApp->installEventFilter(this);
}

LoginDriver::~LoginDriver()
{
    qApp->removeEventFilter(this);
    delete loginDlg;
    loginDlg = nullptr;
}

bool LoginDriver::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Show && clock.isValid() && times.mainWindowShown < 0 &&
        qobject_cast<MainForm *>(watched))
        times.mainWindowShown = elapsedMs(clock);
    return false;
}

bool LoginDriver::openDialog(int timeoutMs)
{
    delete loginDlg;
    updateChecked = false;
    loginDlg = new LoginDlg(vpnConnection, trayWidget);
    for (RequestServer *server : loginDlg->findChildren<RequestServer *>())
        connect(server, &RequestServer::checkUpdateDone, this, [this] { updateChecked = true; });
    loginDlg->show();
    return runUntil([this] { return updateChecked && loginButtonEnabled(); }, timeoutMs);
}

LoginDriver::Times LoginDriver::logIn(const QString &user, const QString &password, int timeoutMs)
{
    dialogChild<QLineEdit>("usernameEdit")->setText(user);
    dialogChild<QLineEdit>("passwordEdit")->setText(password);
    times = Times();
    clock.start();
    dialogChild<QPushButton>("loginBtn")->click();
    runUntil([this] { return times.mainWindowShown >= 0; }, timeoutMs);
    clock.invalidate();
    return times;
}

bool LoginDriver::logOutAndClose(int timeoutMs)
{
    // What the main window's Log out does once the user said yes.
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (qobject_cast<MainForm *>(window))
            window->hide();
    }
    loginDlg->show();
    loginDlg->logout();
    const bool done =
        runUntil([] { return vpnConnection->getStatus() == Disconnected && loginButtonEnabled(); },
                 timeoutMs);
    delete loginDlg;
    loginDlg = nullptr;
    return done;
}

QString LoginDriver::attention() const
{
    const QLabel *label = dialogChild<QLabel>("userInfoLbl");
    return label ? label->text() : QString();
}
