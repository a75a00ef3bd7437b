#include "LoginDriver.h"

#include "BenchSupport.h"
#include "net/RequestServer.h"
#include "ui/login/LoginDlg.h"
#include "ui/main/MainForm.h"
#include "vpn/VPNConnection.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

template <typename T> T *LoginDriver::dialogChild(const char *name) const
{
    return dialog ? dialog->findChild<T *>(QLatin1String(name)) : nullptr;
}

bool LoginDriver::loginButtonEnabled() const
{
    const QPushButton *button = dialogChild<QPushButton>("loginBtn");
    return button && button->isEnabled();
}

LoginDriver::LoginDriver(VPNConnection *tunnel, TrayWidget *tray) : tunnel(tunnel), tray(tray)
{
    // Connected before any dialog exists, so the time is taken before the
    // dialog starts loading the account data.
    connect(tunnel, &VPNConnection::statusChanged, this, [this](CnnStatus status) {
        if (status == Connected && clock.isValid() && times.connected < 0)
            times.connected = elapsedMs(clock);
    });
    qApp->installEventFilter(this);
}

LoginDriver::~LoginDriver()
{
    qApp->removeEventFilter(this);
    delete dialog;
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
    delete dialog;
    updateChecked = false;
    dialog = new LoginDlg(tunnel, tray);
    for (RequestServer *server : dialog->findChildren<RequestServer *>())
        connect(server, &RequestServer::checkUpdateDone, this, [this] { updateChecked = true; });
    dialog->show();
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
    dialog->show();
    dialog->logout();
    const bool done = runUntil(
        [this] { return tunnel->getStatus() == Disconnected && loginButtonEnabled(); }, timeoutMs);
    delete dialog;
    dialog = nullptr;
    return done;
}

QString LoginDriver::attention() const
{
    const QLabel *label = dialogChild<QLabel>("userInfoLbl");
    return label ? label->text() : QString();
}
