#include "ui/tray/TrayWidget.h"

#include "platform/TrayHost.h"
#include "remote/ClientCommands.h"
#include "ui/app/OpenDialogs.h"
#include "ui/widgets/MessageBox.h"
#include "ui/widgets/Pictures.h"
#include "vpn/Tunnel.h"

#include <QAction>
#include <QCoreApplication>
#include <QDialog>
#include <QEvent>
#include <QMenu>
#include <QTimer>

namespace {
// The focus grace: a click on the icon this soon after the program's last
// window lost activation still counts as a click on an active program (the
// click itself is what took the activation away).
constexpr int FocusGraceMs = 1000;

QIcon loginIcon()
{
    return Pictures::icon(QStringLiteral(":/img/icon/login.png"));
}

QAction *menuAction(const char *icon, const QString &text, QObject *parent)
{
    return new QAction(Pictures::icon(QStringLiteral(":/img/icon/%1.png").arg(QLatin1String(icon))),
                       text, parent);
}
} // namespace

TrayWidget::TrayWidget(const Tunnel *tunnel, QObject *parent)
    : QObject(parent), connectAction(menuAction("connected", tr("&Connect"), this)),
      disconnectAction(menuAction("disconnected", tr("&Disconnect"), this)),
      junkAction(menuAction("mail", tr("&Junk mail"), this)),
      showAction(menuAction("show", tr("&Show"), this)),
      hideAction(menuAction("hide", tr("&Hide"), this)),
      quitAction(menuAction("quit", tr("&Quit"), this)), tunnel(tunnel), menu(new QMenu),
      focusTimer(new QTimer(this))
{
    // Enabled by the commands' state once there are commands.
    connectAction->setEnabled(false);
    disconnectAction->setEnabled(false);
    menu->addAction(connectAction);
    menu->addAction(disconnectAction);
    menu->addSeparator();
    // Enabled by the main window once a full account is logged in.
    junkAction->setEnabled(false);
    menu->addAction(junkAction);
    menu->addSeparator();
    menu->addAction(showAction);
    menu->addAction(hideAction);
    menu->addSeparator();
    menu->addAction(quitAction);
    connect(connectAction, &QAction::triggered, this, &TrayWidget::connectVpn);
    connect(disconnectAction, &QAction::triggered, this, &TrayWidget::disconnectVpn);
    connect(junkAction, &QAction::triggered, this, &TrayWidget::junkMailTriggered);
    connect(showAction, &QAction::triggered, this, &TrayWidget::showApp);
    connect(hideAction, &QAction::triggered, this, &TrayWidget::hideApp);
    connect(quitAction, &QAction::triggered, this, &TrayWidget::quitApp);

    focusTimer->setSingleShot(true);
    focusTimer->setInterval(FocusGraceMs);
    connect(focusTimer, &QTimer::timeout, this, &TrayWidget::focusTimeout);
    connect(this, &TrayWidget::activated, this, &TrayWidget::toggleVisibility);

    shownIcon = loginIcon();
    tip = tr("Quillnet by Korvex");
}

void TrayWidget::appear()
{
    if (host)
        return;
    host = new TrayHost(QDBusConnection::sessionBus(), this);
    connect(host, &TrayHost::stateChanged, this, &TrayWidget::makeIconOnceTheTrayAnswered);
    makeIconOnceTheTrayAnswered();
}

TrayWidget::~TrayWidget()
{
    delete trayIcon;
    delete menu;
}

void TrayWidget::makeIconOnceTheTrayAnswered()
{
    if (trayIcon || !host ||
        (host->state() != TrayHost::Absent && host->state() != TrayHost::Answered))
        return;
    // Qt decides between the session bus's tray and an X11 one here, once
    // for the program, by asking the watcher again with blocking calls: made
    // only right after the watcher answered, or with no watcher at all.
    iconOnBus = host->hostRegistered();
    trayIcon = new QSystemTrayIcon(shownIcon);
    trayIcon->setToolTip(tip);
    trayIcon->setContextMenu(menu);
    connect(trayIcon, &QSystemTrayIcon::activated, this, &TrayWidget::activated);
    trayIcon->setVisible(true);

    // What the desktop offers, also where a subclass decides otherwise.
    if (!TrayWidget::trayAvailable())
        qWarning("quillnet: no system tray: the windows stay on screen, and closing the last "
                 "one quits the program");
}

void TrayWidget::setIcon(const QIcon &icon)
{
    shownIcon = icon;
    if (trayIcon)
        trayIcon->setIcon(icon);
}

void TrayWidget::setToolTip(const QString &toolTip)
{
    tip = toolTip;
    if (trayIcon)
        trayIcon->setToolTip(toolTip);
}

void TrayWidget::showMessage(const QString &title, const QString &message,
                             QSystemTrayIcon::MessageIcon kind, int msecs)
{
    if (trayIcon)
        trayIcon->showMessage(title, message, kind, msecs);
}

void TrayWidget::followDialogs(const OpenDialogs &dialogs)
{
    connect(&dialogs, &OpenDialogs::opened, this, &TrayWidget::insertWindow);
    connect(&dialogs, &OpenDialogs::closed, this, &TrayWidget::removeWindow);
    connect(&dialogs, &OpenDialogs::activated, this, &TrayWidget::focusIn);
    connect(&dialogs, &OpenDialogs::deactivated, this, &TrayWidget::focusOut);
}

void TrayWidget::offerCommands(ClientCommands *offered)
{
    if (commands)
        commands->disconnect(this);
    commands = offered;
    if (commands)
        connect(commands, &ClientCommands::availabilityChanged, this, &TrayWidget::followCommands);
    followCommands();
}

void TrayWidget::followCommands()
{
    connectAction->setEnabled(commands && commands->canConnect());
    disconnectAction->setEnabled(commands && commands->canDisconnect());
}

void TrayWidget::connectVpn()
{
    if (commands)
        commands->connectNow();
}

void TrayWidget::disconnectVpn()
{
    // The menu may have been opened before the tunnel went down by itself.
    if (!commands || !commands->canDisconnect())
        return;
    if (MessageBox::question(nullptr, tr("Quillnet"),
                             tr("There is still active connection that will be closed.\n"
                                "Do you want to disconnect?"),
                             QMessageBox::Yes | QMessageBox::No,
                             QMessageBox::No) != QMessageBox::Yes)
        return;
    // The question waited for the user: the tunnel may be down by now.
    if (commands && commands->canDisconnect())
        commands->disconnectNow();
}

bool TrayWidget::trayAvailable() const
{
    if (!trayIcon)
        return false;
    // Qt's own answer for an icon on the bus would ask the watcher with a
    // blocking call each time; the watcher's last answer stands in for it.
    if (iconOnBus)
        return host->hostRegistered();
    // Qt settled on X11 for the program: its answer asks only the X server.
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayWidget::addWindow(QDialog *window)
{
    registerWindow(window, false);
}

void TrayWidget::insertWindow(QDialog *window)
{
    registerWindow(window, true);
}

void TrayWidget::registerWindow(QDialog *window, bool atFront)
{
    if (!window || indexOf(window) != -1)
        return;
    Window record;
    record.window = window;
    if (atFront)
        windows.prepend(record);
    else
        windows.append(record);
    // Without a tray the window's hiding may leave the user with nothing on
    // screen; see checkWindowsReachable().
    window->installEventFilter(this);
}

void TrayWidget::removeWindow(QDialog *window)
{
    const int index = indexOf(window);
    if (index == -1)
        return;
    windows.removeAt(index);
    window->removeEventFilter(this);
}

int TrayWidget::indexOf(QDialog *window) const
{
    for (int i = windows.size() - 1; i >= 0; --i) {
        if (windows.at(i).window == window)
            return i;
    }
    return -1;
}

void TrayWidget::toggleVisibility(QSystemTrayIcon::ActivationReason reason)
{
    // The context menu, double and middle clicks have their own meaning (or
    // none); only a plain click toggles.
    if (reason != QSystemTrayIcon::Trigger)
        return;
    if (active && !hidden)
        hideApp();
    else
        showApp();
}

void TrayWidget::hideApp()
{
    if (!trayAvailable()) {
        // Nothing could bring hidden windows back: getting the program out
        // of sight means leaving it.
        if (confirmQuit())
            leave();
        return;
    }
    if (!hidden) {
        // The records are settled before any window is hidden: hiding runs
        // the windows' own handlers, which may change the list.
        QList<QPointer<QDialog>> toHide;
        for (Window &record : windows) {
            if (record.hiddenByTray)
                continue;
            record.wasVisible = record.window && record.window->isVisible();
            if (record.wasVisible) {
                record.geometry = record.window->saveGeometry();
                toHide.append(record.window);
            }
            record.hiddenByTray = true;
        }
        for (const QPointer<QDialog> &window : toHide) {
            if (window)
                window->hide();
        }
    }
    hideAction->setVisible(false);
    hidden = true;
    focusTimer->stop();
    active = false;
}

void TrayWidget::hideWindow(QDialog *window)
{
    const int index = indexOf(window);
    if (index == -1 || !trayAvailable()) {
        window->showMinimized();
        return;
    }
    Window &record = windows[index];
    if (!record.hiddenByTray && window->isVisible()) {
        record.wasVisible = true;
        record.geometry = window->saveGeometry();
        record.hiddenByTray = true;
        window->hide();
    }
    for (const Window &other : std::as_const(windows)) {
        if (other.window && other.window->isVisible())
            return;
    }
    hideAction->setVisible(false);
    hidden = true;
    focusTimer->stop();
    active = false;
}

void TrayWidget::showApp()
{
    const QList<Window> before = windows;
    for (Window &record : windows) {
        record.hiddenByTray = false;
        record.wasVisible = true;
    }
    // From the last record to the first: the dialogs at the front come up
    // last, on top of the main windows.
    for (auto it = before.crbegin(); it != before.crend(); ++it) {
        QDialog *window = it->window;
        if (!window)
            continue;
        if (it->hiddenByTray && it->wasVisible) {
            window->restoreGeometry(it->geometry);
            window->show();
        } else if (!window->isVisible()) {
            // Closed by the user before the program was hidden.
            continue;
        }
        window->raise();
        window->activateWindow();
    }
    hidden = false;
    hideAction->setVisible(true);
    focusTimer->stop();
    active = true;
}

void TrayWidget::quitApp()
{
    if (confirmQuit())
        leave();
}

// Whether the user agrees to leave; asked only while a tunnel would be cut.
bool TrayWidget::confirmQuit()
{
    if (!tunnel || tunnel->getStatus() == Disconnected)
        return true;
    const QMessageBox::StandardButton answer = MessageBox::question(
        nullptr, tr("Quillnet"),
        tr("There is still active connection that will be closed if you exit Quillnet.\n"
           "Are you sure you want to exit?"));
    if (answer != QMessageBox::Yes)
        return false;
    // The tunnel is stopped after the loop ends; the icon should not claim a
    // connection meanwhile.
    setIcon(loginIcon());
    return true;
}

void TrayWidget::leave()
{
    // exit(), not quit(): quit() first asks every visible window to close,
    // and the login dialog and the main window refuse a close (they ask or
    // hide instead), which would cancel the quit. The tunnel and the rest are
    // stopped by main() once the loop has ended.
    QCoreApplication::exit(0);
}

void TrayWidget::focusIn()
{
    focusTimer->stop();
    active = true;
}

void TrayWidget::focusOut()
{
    focusTimer->start();
}

void TrayWidget::junkEnable(bool en)
{
    junkAction->setEnabled(en);
}

void TrayWidget::focusTimeout()
{
    active = false;
}

void TrayWidget::refreshTimeout()
{
    setIcon(icon());
}

bool TrayWidget::eventFilter(QObject *watched, QEvent *event)
{
    // Only the program's own hiding counts; a minimised window is still
    // reachable from the task bar.
    if (event->type() == QEvent::Hide && !event->spontaneous()) {
        lastHidden = qobject_cast<QDialog *>(watched);
        if (!reachCheckQueued) {
            reachCheckQueued = true;
            // Windows hand over to each other within one pass of the event
            // loop (the login dialog hides while the main window's showing is
            // queued), so the check waits until that pass is over.
            QTimer::singleShot(0, this, &TrayWidget::checkWindowsReachable);
        }
    }
    return QObject::eventFilter(watched, event);
}

void TrayWidget::checkWindowsReachable()
{
    reachCheckQueued = false;
    if (trayAvailable())
        return;
    for (const Window &record : windows) {
        if (record.window && record.window->isVisible())
            return;
    }
    // The last window is gone and no icon could bring it back: the user
    // closed the program.
    if (confirmQuit()) {
        leave();
        return;
    }
    QDialog *window = lastHidden;
    if (!window && !windows.isEmpty())
        window = windows.last().window; // the dialog closed last deleted itself
    if (window) {
        window->show();
        window->raise();
        window->activateWindow();
    }
}
