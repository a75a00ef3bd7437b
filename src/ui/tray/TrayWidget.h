#pragma once

#include <QByteArray>
#include <QIcon>
#include <QList>
#include <QPointer>
#include <QSystemTrayIcon>

class ClientCommands;
class OpenDialogs;
class QAction;
class QDialog;
class QMenu;
class QTimer;
class TrayHost;
class Tunnel;

// The program's icon in the system tray. It keeps the list of the program's
// top-level windows so that hiding and showing act on all of them at once,
// and it follows whether one of them is the active window, so that a click
// on the icon hides a program the user is working with and brings back one
// that is hidden or behind other programs.
//
// Without a tray nothing could bring hidden windows back, so the windows are
// never hidden to it: hiding, or letting the last window go, means leaving
// the program, through the same question as the menu's Quit.
//
// The icon itself is made once the desktop's tray on the session bus has
// answered (see TrayHost), never while waiting for it: Qt asks that tray
// with calls that block until it answers, and a tray that does not answer
// would freeze every window. Until then, and while it does not answer, the
// program behaves as without a tray. The program asks for the icon only
// once its first window is on the screen (appear()): reaching the session
// bus and the tray is nothing that window has to wait for.
class TrayWidget : public QObject
{
    Q_OBJECT

public:
    // Quitting asks first while `tunnel` is not Disconnected; without a
    // tunnel it never asks.
    explicit TrayWidget(const Tunnel *tunnel = nullptr, QObject *parent = nullptr);
    ~TrayWidget() override;

    // Looks for the desktop's tray and puts the icon there once it has
    // answered. Until then the program behaves as without a tray.
    void appear();

    // Short-lived dialogs join the window list in front while they exist,
    // and their activation counts as the program's.
    void followDialogs(const OpenDialogs &dialogs);

    // The menu's Connect and Disconnect act through `commands` and are
    // enabled as it says; without commands both stay disabled.
    void offerCommands(ClientCommands *commands);

    // The main windows are appended, short-lived dialogs put in front, so
    // that hiding treats the dialogs first and showing brings them back last,
    // on top of the main windows. A window already present is not added
    // twice; removing an absent one does nothing.
    void addWindow(QDialog *window);
    void insertWindow(QDialog *window);
    void removeWindow(QDialog *window);
    int indexOf(QDialog *window) const;

    // Puts one registered window out of sight and leaves the others: it
    // comes back with them at the next showApp(), and when nothing is left
    // on screen the program counts as hidden. Without a tray nothing would
    // bring it back, so it only goes down to the task bar; nothing is asked.
    void hideWindow(QDialog *window);

    // One of the program's windows is active, or was so less than a second ago.
    bool isActive() const { return active; }
    // The program's windows are hidden to the tray.
    bool isHidden() const { return hidden; }

    // The menu entries; the main window switches the junk-mail one directly.
    QAction *const connectAction;
    QAction *const disconnectAction;
    QAction *const junkAction;
    QAction *const showAction;
    QAction *const hideAction;
    QAction *const quitAction;

    // What the icon shows, kept also while there is no icon yet.
    void setIcon(const QIcon &icon);
    QIcon icon() const { return shownIcon; }
    void setToolTip(const QString &tip);
    QString toolTip() const { return tip; }
    QMenu *contextMenu() const { return menu; }
    // A balloon from the icon; nothing without a tray.
    void showMessage(const QString &title, const QString &message,
                     QSystemTrayIcon::MessageIcon kind, int msecs);

signals:
    void junkMailTriggered();
    // A click on the icon, as the tray reports it.
    void activated(QSystemTrayIcon::ActivationReason reason);

public slots:
    void connectVpn();
    // Asks first, as the main window's log-out does.
    void disconnectVpn();
    void toggleVisibility(QSystemTrayIcon::ActivationReason reason);
    void showApp();
    void hideApp();
    void quitApp();
    void focusIn();
    void focusOut();
    void junkEnable(bool en);
    void focusTimeout();
    void refreshTimeout();

protected:
    // Asked anew each time: a panel with a tray may come or go while the
    // program runs. Never waits for the desktop.
    virtual bool trayAvailable() const;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Window
    {
        QPointer<QDialog> window;
        bool wasVisible = true;
        bool hiddenByTray = false;
        QByteArray geometry;
    };

    void registerWindow(QDialog *window, bool atFront);
    bool confirmQuit();
    void leave();
    void checkWindowsReachable();
    void makeIconOnceTheTrayAnswered();
    void followCommands();

    QPointer<const Tunnel> tunnel;
    QPointer<ClientCommands> commands;
    QMenu *menu;
    TrayHost *host = nullptr;
    // Null until the desktop's tray has answered, or said it has none.
    QSystemTrayIcon *trayIcon = nullptr;
    // Qt put the icon on the session bus's tray rather than an X11 one.
    bool iconOnBus = false;
    QIcon shownIcon;
    QString tip;
    QTimer *focusTimer;
    bool active = false;
    bool hidden = false;
    QList<Window> windows;
    // The registered window that went out of sight last, shown again when
    // the user decides to stay after closing the last window without a tray.
    QPointer<QDialog> lastHidden;
    bool reachCheckQueued = false;

    Q_DISABLE_COPY_MOVE(TrayWidget)
};
