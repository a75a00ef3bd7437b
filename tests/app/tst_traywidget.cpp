// The tray icon and the self-deleting dialogs against real windows on the
// offscreen platform, with the desktop's tray forced present or absent. The
// quitting cases run the application's own event loop, as the program does.
#include "ScriptedBoxes.h"
#include "core/ApplicationNames.h"
#include "core/SettingsKeys.h"
#include "ui/app/OpenDialogs.h"
#include "ui/app/TmpDialog.h"
#include "ui/tray/TrayWidget.h"
#include "vpn/VPNConnection.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QResource>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <functional>
#include <memory>

namespace {

constexpr int StillRunning = 77;

// One way of making a window go away.
using WindowAction = std::function<void(QDialog *)>;

class DesktopTray : public TrayWidget
{
public:
    DesktopTray(bool withTray, const Tunnel *tunnel) : TrayWidget(tunnel), withTray(withTray) {}

protected:
    bool trayAvailable() const override { return withTray; }

private:
    bool withTray;
};

std::unique_ptr<TrayWidget> makeTray(bool withTray, const Tunnel *tunnel = nullptr)
{
    // The test platform has no tray, and every tray says so once.
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("no system tray")));
    auto tray = std::make_unique<DesktopTray>(withTray, tunnel);
    tray->appear();
    tray->followDialogs(OpenDialogs::instance());
    return tray;
}

std::unique_ptr<QDialog> shownWindow(const char *name, const QRect &geometry, TrayWidget *tray)
{
    auto window = std::make_unique<QDialog>();
    window->setObjectName(QLatin1String(name));
    window->setGeometry(geometry);
    window->show();
    tray->addWindow(window.get());
    return window;
}

QImage look(const QIcon &icon)
{
    return icon.pixmap(QSize(32, 32)).toImage();
}

// Runs the application's event loop around `step` and gives what it ended
// with: 0 when the program quit, StillRunning when it was still running a
// while after the step.
int runProgram(const std::function<void()> &step)
{
    QTimer fallback;
    fallback.setSingleShot(true);
    QObject::connect(&fallback, &QTimer::timeout, [] { QCoreApplication::exit(StillRunning); });
    QTimer::singleShot(0, [&] {
        step();
        fallback.start(1500);
    });
    return QCoreApplication::exec();
}

// Answers every message box with `answer` and keeps what was asked.
class Answerer
{
public:
    explicit Answerer(QMessageBox::StandardButton answer)
        : boxes(answer, [this](QMessageBox &box) {
              asked << box.windowTitle() + QLatin1Char('|') + box.text();
              parentless = parentless && !box.parentWidget();
          })
    {
    }

    QStringList asked;
    bool parentless = true;

private:
    ScriptedBoxes boxes;
};

const QString Question = QStringLiteral(
    "Quillnet|There is still active connection that will be closed if you exit Quillnet.\n"
    "Are you sure you want to exit?");

// Refuses to be closed, as the login dialog (it asks) and the main window
// (it hides to the tray) do.
class StubbornWindow : public QDialog
{
protected:
    void closeEvent(QCloseEvent *event) override { event->ignore(); }
};

// Records the order in which windows are shown and hidden.
class ShowHideLog : public QObject
{
public:
    void watch(QWidget *window) { window->installEventFilter(this); }
    QStringList entries;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show || event->type() == QEvent::Hide)
            entries << (event->type() == QEvent::Show ? QStringLiteral("show ")
                                                      : QStringLiteral("hide ")) +
                           watched->objectName();
        return false;
    }
};

} // namespace

class TestTrayWidget : public QObject
{
    Q_OBJECT

    // A tunnel that stays Connecting: its OpenVPN is a program that sleeps.
    std::unique_ptr<VPNConnection> tunnelUp()
    {
        auto tunnel = std::make_unique<VPNConnection>();
        tunnel->start();
        return tunnel;
    }

private slots:
    void initTestCase()
    {
        const QString rcc = QDir(qEnvironmentVariable("QUILLNET_APP_DIR")).filePath("graphics.rcc");
        QVERIFY2(QResource::registerResource(rcc), qPrintable("cannot register " + rcc));
        setApplicationNames();
        QFile sleeper(QDir::current().filePath(QStringLiteral("sleeping-openvpn")));
        QVERIFY(sleeper.open(QIODevice::WriteOnly | QIODevice::Truncate));
        sleeper.write("#!/bin/sh\nexec sleep 30\n");
        sleeper.close();
        sleeper.setPermissions(sleeper.permissions() | QFile::ExeOwner);
        QSettings().setValue(QLatin1String(SettingsKey::OpenvpnExe), sleeper.fileName());
    }

    void constructionShowsTheLoginIconAndTheMenuActs()
    {
        auto tray = makeTray(true);
        QCOMPARE(look(tray->icon()), look(QIcon(QStringLiteral(":/img/icon/login.png"))));
        QCOMPARE(tray->toolTip(), QStringLiteral("Quillnet by Korvex"));
        QStringList entries;
        for (const QAction *action : tray->contextMenu()->actions())
            entries << (action->isSeparator() ? QStringLiteral("-") : action->text());
        QCOMPARE(entries, QStringList({"&Connect", "&Disconnect", "-", "&Junk mail", "-", "&Show",
                                       "&Hide", "-", "&Quit"}));
        QVERIFY(!tray->junkAction->isEnabled());
        // Without the client's commands there is nothing to connect with.
        QVERIFY(!tray->connectAction->isEnabled() && !tray->disconnectAction->isEnabled());

        QSignalSpy junk(tray.get(), &TrayWidget::junkMailTriggered);
        tray->junkEnable(true);
        tray->junkAction->trigger();
        QCOMPARE(junk.count(), 1);

        auto window = shownWindow("main", QRect(50, 60, 300, 200), tray.get());
        tray->hideAction->trigger();
        QVERIFY(!window->isVisible());
        tray->showAction->trigger();
        QVERIFY(window->isVisible());
    }

    void clickWhileActiveHidesAndAgainRestoresWhereTheyWere()
    {
        auto tray = makeTray(true);
        auto closed = shownWindow("closed", QRect(10, 20, 200, 100), tray.get());
        closed->hide();
        auto login = shownWindow("login", QRect(40, 50, 300, 400), tray.get());
        auto main = shownWindow("main", QRect(200, 100, 400, 300), tray.get());
        const QRect loginAt = login->geometry(), mainAt = main->geometry();
        tray->focusIn();
        emit tray->activated(QSystemTrayIcon::Trigger);
        QVERIFY(!login->isVisible() && !main->isVisible());
        QVERIFY(tray->isHidden() && !tray->hideAction->isVisible());

        login->move(0, 0); // as a window manager may place a window shown again
        main->move(0, 0);
        emit tray->activated(QSystemTrayIcon::Trigger);
        QVERIFY(login->isVisible() && main->isVisible() && !closed->isVisible());
        QCOMPARE(login->geometry(), loginAt);
        QCOMPARE(main->geometry(), mainAt);
        QVERIFY(!tray->isHidden() && tray->hideAction->isVisible());
    }

    void clickOnAProgramBehindOthersBringsItForward()
    {
        auto tray = makeTray(true);
        auto main = shownWindow("main", QRect(50, 60, 300, 200), tray.get());
        QWidget other;
        other.show();
        other.activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), &other);
        emit tray->activated(QSystemTrayIcon::Trigger);
        QVERIFY(main->isVisible() && tray->isActive());
        QTRY_COMPARE(QApplication::activeWindow(), main.get());
    }

    void otherActivationsNeitherShowNorHide_data()
    {
        QTest::addColumn<QSystemTrayIcon::ActivationReason>("reason");
        QTest::newRow("context menu") << QSystemTrayIcon::Context;
        QTest::newRow("double click") << QSystemTrayIcon::DoubleClick;
        QTest::newRow("middle click") << QSystemTrayIcon::MiddleClick;
        QTest::newRow("unknown") << QSystemTrayIcon::Unknown;
    }

    void otherActivationsNeitherShowNorHide()
    {
        QFETCH(QSystemTrayIcon::ActivationReason, reason);
        auto tray = makeTray(true);
        auto main = shownWindow("main", QRect(50, 60, 300, 200), tray.get());
        tray->focusIn();
        emit tray->activated(reason);
        QVERIFY(main->isVisible());
        tray->hideApp();
        emit tray->activated(reason);
        QVERIFY(!main->isVisible());
    }

    void activeLastsOneSecondAfterTheLastWindowLostActivation()
    {
        auto tray = makeTray(true);
        auto main = shownWindow("main", QRect(50, 60, 300, 200), tray.get());
        tray->focusIn();
        QElapsedTimer sinceOut;
        sinceOut.start();
        tray->focusOut();
        QTest::qWait(300);
        if (sinceOut.elapsed() < 900) // a stalled machine proves nothing here
            QVERIFY(tray->isActive());
        QTRY_VERIFY_WITH_TIMEOUT(!tray->isActive(), 5000);
        QVERIFY(sinceOut.elapsed() >= 900); // coarse timers may fire 5 % early

        // Activation regained within the second, or the program shown by the
        // tray, keeps it active.
        tray->focusOut();
        tray->focusIn();
        QTest::qWait(1300);
        QVERIFY(tray->isActive());
        tray->focusOut();
        tray->showApp();
        QTest::qWait(1300);
        QVERIFY(tray->isActive());

        // The click that took the activation away still hides the program.
        tray->focusOut();
        emit tray->activated(QSystemTrayIcon::Trigger);
        QVERIFY(!main->isVisible() && !tray->isActive());
    }

    void hidingTwiceSavesTheWindowsOnce()
    {
        auto tray = makeTray(true);
        auto login = shownWindow("login", QRect(40, 50, 300, 400), tray.get());
        auto main = shownWindow("main", QRect(200, 100, 400, 300), tray.get());
        const QRect mainAt = main->geometry();
        tray->hideApp();
        main->move(10, 10);
        login->show(); // brought up by the program while hidden
        tray->hideApp();
        QVERIFY(login->isVisible());
        tray->showApp();
        QCOMPARE(main->geometry(), mainAt);
    }

    void dialogsAreHiddenFirstAndShownLast()
    {
        auto tray = makeTray(true);
        auto login = shownWindow("login", QRect(40, 50, 300, 400), tray.get());
        auto main = shownWindow("main", QRect(200, 100, 400, 300), tray.get());
        QDialog dialog;
        dialog.setObjectName(QStringLiteral("dialog"));
        dialog.show();
        tray->insertWindow(&dialog);
        // Known windows keep their place; an unknown one is nowhere.
        tray->addWindow(&dialog);
        tray->insertWindow(main.get());
        QDialog stranger;
        tray->removeWindow(&stranger);
        QCOMPARE(tray->indexOf(&dialog), 0);
        QCOMPARE(tray->indexOf(main.get()), 2);
        QCOMPARE(tray->indexOf(&stranger), -1);

        ShowHideLog log;
        for (QWidget *window : std::initializer_list<QWidget *>{login.get(), main.get(), &dialog})
            log.watch(window);
        tray->hideApp();
        tray->showApp();
        QCOMPARE(log.entries, QStringList({"hide dialog", "hide login", "hide main", "show main",
                                           "show login", "show dialog"}));
        QTRY_COMPARE(QApplication::activeWindow(), &dialog);
    }

    void quitWithoutATunnelUpQuitsAtOnce_data()
    {
        QTest::addColumn<bool>("withTunnelObject");
        QTest::newRow("no tunnel object") << false;
        QTest::newRow("tunnel disconnected") << true;
    }

    void quitWithoutATunnelUpQuitsAtOnce()
    {
        QFETCH(bool, withTunnelObject);
        VPNConnection tunnel;
        auto tray = makeTray(true, withTunnelObject ? &tunnel : nullptr);
        StubbornWindow login;
        login.show();
        tray->addWindow(&login);
        Answerer answerer(QMessageBox::No);
        QCOMPARE(runProgram([&] { tray->quitAction->trigger(); }), 0);
        QCOMPARE(answerer.asked, QStringList());
    }

    void quitWithATunnelUpAsksFirst_data()
    {
        QTest::addColumn<QMessageBox::StandardButton>("answer");
        QTest::newRow("no") << QMessageBox::No;
        QTest::newRow("yes") << QMessageBox::Yes;
    }

    void quitWithATunnelUpAsksFirst()
    {
        QFETCH(QMessageBox::StandardButton, answer);
        auto tunnel = tunnelUp();
        QCOMPARE(tunnel->getStatus(), Connecting);
        auto tray = makeTray(true, tunnel.get());
        const QIcon connected(QStringLiteral(":/img/icon/connected.png"));
        tray->setIcon(connected);
        auto main = shownWindow("main", QRect(200, 100, 400, 300), tray.get());

        Answerer answerer(answer);
        const int ended = runProgram([&] { tray->quitApp(); });
        QCOMPARE(answerer.asked, QStringList{Question});
        QVERIFY(answerer.parentless);
        const bool yes = answer == QMessageBox::Yes;
        QCOMPARE(ended, yes ? 0 : StillRunning);
        QCOMPARE(look(tray->icon()),
                 look(yes ? QIcon(QStringLiteral(":/img/icon/login.png")) : connected));
        QVERIFY(main->isVisible());
        QCOMPARE(tunnel->getStatus(), Connecting); // stopped by main() after the loop
    }

    void tmpDialogJoinsTheListAndLeavesItWhenClosed_data()
    {
        QTest::addColumn<WindowAction>("close");
        QTest::newRow("close button")
            << WindowAction([](QDialog *dialog) { dialog->windowHandle()->close(); });
        QTest::newRow("cancel") << WindowAction(&QDialog::reject);
        QTest::newRow("save") << WindowAction(&QDialog::accept);
    }

    void tmpDialogJoinsTheListAndLeavesItWhenClosed()
    {
        QFETCH(WindowAction, close);
        auto tray = makeTray(true);
        auto main = shownWindow("main", QRect(200, 100, 400, 300), tray.get());
        QPointer<TmpDialog> dialog = new TmpDialog(main.get());
        QCOMPARE(tray->indexOf(dialog), 0);
        dialog->show();
        dialog->activateWindow();
        QTRY_VERIFY(tray->isActive());

        close(dialog);
        QTRY_VERIFY(!dialog);
        QCOMPARE(tray->indexOf(main.get()), 0);
    }

    void tmpDialogWorksWithoutATray()
    {
        QPointer<TmpDialog> dialog = new TmpDialog(nullptr);
        dialog->show();
        dialog->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), dialog.data());
        dialog->reject();
        QTRY_VERIFY(!dialog);
    }

    // One window put out of sight alone (Escape in the main window) leaves
    // the others and asks nothing, even with a tunnel up: with a tray it comes
    // back with the rest, without one it only goes down to the task bar.
    void oneWindowHiddenAlone_data()
    {
        QTest::addColumn<bool>("withTray");
        QTest::addColumn<bool>("alone"); // no other window on screen
        QTest::newRow("tray") << true << false;
        QTest::newRow("tray, the last window") << true << true;
        QTest::newRow("no tray") << false << false;
        QTest::newRow("no tray, the last window") << false << true;
    }

    void oneWindowHiddenAlone()
    {
        QFETCH(bool, withTray);
        QFETCH(bool, alone);
        auto tunnel = tunnelUp();
        auto tray = makeTray(withTray, tunnel.get());
        auto login = shownWindow("login", QRect(40, 50, 300, 400), tray.get());
        auto main = shownWindow("main", QRect(200, 100, 400, 300), tray.get());
        if (alone)
            login->hide();
        Answerer answerer(QMessageBox::Yes);
        QCOMPARE(runProgram([&] { tray->hideWindow(main.get()); }), StillRunning);
        QCOMPARE(answerer.asked, QStringList());
        QCOMPARE(login->isVisible(), !alone);
        if (!withTray) {
            QVERIFY(main->isVisible() && main->isMinimized());
            return;
        }
        QVERIFY(!main->isVisible());
        // Nothing left on screen: the program is hidden, and the icon's
        // click brings it back.
        QCOMPARE(tray->isHidden(), alone);
        QCOMPARE(tray->hideAction->isVisible(), !alone);
        tray->showApp();
        QVERIFY(main->isVisible());
        QCOMPARE(main->geometry(), QRect(200, 100, 400, 300));
        QCOMPARE(login->isVisible(), !alone);
    }

    // Without a tray: the windows are never hidden away, and going out of
    // sight ends the program through the Quit question.

    void withoutTrayTheProgramSaysSoOnceAndQuitsWithItsLastWindow()
    {
        if (QSystemTrayIcon::isSystemTrayAvailable())
            QSKIP("this desktop has a tray");
        const QRegularExpression notice(QStringLiteral("no system tray"));
        QTest::ignoreMessage(QtWarningMsg, notice);
        QTest::failOnWarning(notice);
        TrayWidget tray;
        tray.appear();
        auto login = shownWindow("login", QRect(40, 50, 300, 400), &tray);
        auto main = shownWindow("main", QRect(200, 100, 400, 300), &tray);
        QCOMPARE(runProgram([&] { login->reject(); }), StillRunning);
        QCOMPARE(runProgram([&] { main->windowHandle()->close(); }), 0);
    }

    void withoutTrayTheLastWindowGoingQuits_data()
    {
        QTest::addColumn<WindowAction>("away");
        QTest::newRow("hidden") << WindowAction(&QDialog::hide);
        QTest::newRow("escape") << WindowAction(&QDialog::reject);
        QTest::newRow("tray's hide") << WindowAction(); // none: the tray hides
    }

    void withoutTrayTheLastWindowGoingQuits()
    {
        QFETCH(WindowAction, away);
        auto tray = makeTray(false);
        auto main = shownWindow("main", QRect(200, 100, 400, 300), tray.get());
        Answerer answerer(QMessageBox::Yes);
        QCOMPARE(runProgram([&] { away ? away(main.get()) : tray->hideApp(); }), 0);
        QCOMPARE(answerer.asked, QStringList());
    }

    void withoutTrayATunnelUpMakesTheLastWindowAsk_data() { quitWithATunnelUpAsksFirst_data(); }

    void withoutTrayATunnelUpMakesTheLastWindowAsk()
    {
        QFETCH(QMessageBox::StandardButton, answer);
        auto tunnel = tunnelUp();
        auto tray = makeTray(false, tunnel.get());
        auto main = shownWindow("main", QRect(200, 100, 400, 300), tray.get());
        const QRect mainAt = main->geometry();
        Answerer answerer(answer);

        // The tray's hide (the main window's close button) hides nothing.
        QCOMPARE(runProgram([&] { tray->hideApp(); }),
                 answer == QMessageBox::Yes ? 0 : StillRunning);
        QVERIFY(main->isVisible() && !tray->isHidden());

        if (answer == QMessageBox::No) {
            // Staying brings the closed window back where it was.
            QCOMPARE(runProgram([&] { main->reject(); }), StillRunning);
            QVERIFY(main->isVisible());
            QCOMPARE(main->geometry(), mainAt);
            QCOMPARE(answerer.asked.size(), 2);
        }
    }

    void withoutTrayWindowsHandingOverDoNotQuit()
    {
        auto tray = makeTray(false);
        auto login = shownWindow("login", QRect(40, 50, 300, 400), tray.get());
        auto main = shownWindow("main", QRect(200, 100, 400, 300), tray.get());
        main->hide();
        // As the login dialog does once logged in.
        QCOMPARE(runProgram([&] {
                     QTimer::singleShot(0, main.get(), &QWidget::show);
                     login->accept();
                 }),
                 StillRunning);
        QVERIFY(main->isVisible());
    }
};

QTEST_MAIN(TestTrayWidget)
#include "tst_traywidget.moc"
