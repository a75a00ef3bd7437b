#pragma once

#include "OpenVpnServerPeer.h"
#include "ServicePeer.h"
#include "StandInAdapterTool.h"
#include "TestFiles.h"
#include "core/ApplicationNames.h"
#include "core/SettingsKeys.h"
#include "net/RequestServer.h"
#include "remote/ClientCommands.h"
#include "ui/app/OpenDialogs.h"
#include "ui/login/LoginDlg.h"
#include "ui/main/MainForm.h"
#include "ui/tray/TrayWidget.h"
#include "vpn/ScriptedTunnel.h"
#include "vpn/VPNConnection.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

// Logins through the real dialog, made as main() makes it, on the bed's own
// tunnel and tray: the local service, an adapter tool that only notes what
// it was asked, and either a real OpenVPN server in a network namespace,
// whose configuration the service hands out, or the scripted tunnel, which
// needs no root. Accounts: "demo" / "demo123" and the free one.
class LoginTestBed
{
public:
    enum TunnelKind
    {
        RealTunnel,
        ScriptedTunnelKind
    };

    // Starts the peers (`serviceOptions` go to the service, for files put
    // into scratchFile() first) and creates the tray and the tunnel; false
    // with the reason in bedError.
    bool startBed(const QStringList &serviceOptions = {}, TunnelKind kind = RealTunnel)
    {
        QStringList options = serviceOptions;
        if (kind == RealTunnel) {
            if (!server.start(scratch.path(), {QStringLiteral("--users"),
                                               QStringLiteral("demo:demo123,vestor:vestor")})) {
                bedError = server.errorString();
                return false;
            }
            QFile body(scratchFile(QStringLiteral("service-config.txt")));
            if (!body.open(QIODevice::WriteOnly) || body.write(server.configBody()) <= 0) {
                bedError = body.fileName() + QStringLiteral(": ") + body.errorString();
                return false;
            }
            options.prepend(body.fileName());
            options.prepend(QStringLiteral("--config-template"));
        }
        if (!service.start(options)) {
            bedError = service.errorString();
            return false;
        }
        qputenv("QUILLNET_DEPLOYMENT", QFile::encodeName(service.deploymentFile()));
        for (const char *name :
             {"https_proxy", "HTTPS_PROXY", "http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"})
            qunsetenv(name);

        // Where the tool notes its runs stays put when a test changes folder.
        toolLog = QDir::current().absoluteFilePath(QStringLiteral("tool-runs.txt"));
        bedError = installStandInAdapterTool(toolLog);
        if (!bedError.isEmpty())
            return false;

        setApplicationNames();
        QSettings().clear();
        // Real tunnels here run in the machine's own namespace: no block.
        QSettings().setValue(QLatin1String(SettingsKey::BlockOutsideTunnel), false);
        if (kind == RealTunnel)
            useTunnel(new VPNConnection);
        else
            useTunnel(new ScriptedTunnel);
        return true;
    }

    // The bed's objects; the dialog hands the tunnel and the tray on to the
    // main window that a login opens.
    LoginDlg *dialog() const { return bedDialog; }
    Tunnel *tunnel() const { return bedTunnel; }
    TrayWidget *tray() const { return bedTray; }

    // `next` and a tray that follows it; endBed() first.
    void useTunnel(Tunnel *next)
    {
        bedTunnel = next;
        bedTray = new TrayWidget(next);
        bedTray->followDialogs(OpenDialogs::instance());
    }

    // Null on a real tunnel.
    ScriptedTunnel *scriptedTunnel() const { return qobject_cast<ScriptedTunnel *>(tunnel()); }

    void endBed()
    {
        closeDialog();
        delete bedTray;
        bedTray = nullptr;
        delete bedTunnel;
        bedTunnel = nullptr;
    }

    // A login dialog on the bed's tunnel and tray, in place of any other,
    // whose program runs from `programPath` (by default from a folder of its
    // own, wherever the build lies).
    void replaceDialog(const QString &programPath = QString())
    {
        delete bedDialog;
        bedDialog = new LoginDlg(bedTunnel, bedTray, bedPasswords);
        // Before the update check, which waits for the event loop.
        bedDialog->findChild<LoginController *>()->setProgramPath(
            programPath.isEmpty() ? scratchFile(QStringLiteral("app/quillnet")) : programPath);
    }

    // The tray's and the command line's commands on the dialog, wired as
    // main() wires them; they go with the dialog.
    ClientCommands *offerCommands()
    {
        auto *commands = new ClientCommands(bedDialog->loginController(), bedTunnel, bedDialog);
        bedDialog->followCommands(commands);
        bedTray->offerCommands(commands);
        return commands;
    }

    // The next dialogs keep their passwords there; null: in the settings file.
    void usePasswords(RememberedPasswords *passwords) { bedPasswords = passwords; }

    // The dialog saves its check boxes when it goes.
    void closeDialog()
    {
        delete bedDialog;
        bedDialog = nullptr;
    }

    // Before each test: no dialog, nothing remembered, the service as new.
    void resetBed()
    {
        // The dialog saves its check boxes when it goes, so it goes first.
        closeDialog();
        QSettings settings;
        for (const char *key : {SettingsKey::RememberUser, SettingsKey::AutoLogin,
                                SettingsKey::Username, SettingsKey::Password})
            settings.remove(QLatin1String(key));
        service.control(QStringLiteral("/_control/reset"));
        QFile::remove(toolLog);
    }

    QString scratchFile(const QString &name) const { return scratch.filePath(name); }

    template <typename T> T *child(const char *name) const
    {
        return dialog()->findChild<T *>(QLatin1String(name));
    }

    QString attention() const { return child<QLabel>("userInfoLbl")->text(); }

    // The dialog's login gives a stalled answer up after `ms` rather than
    // the product's time; loopback answers take a small part of it.
    void shortenRequestTimeout(int ms)
    {
        dialog()->findChild<LoginController *>()->setRequestTimeouts(
            ms, RequestServer::DownloadIdleTimeoutMs);
    }

    // A fresh dialog, once its update check has ended.
    void newDialog()
    {
        replaceDialog();
        dialog()->show();
        // The update check starts with the event loop and disables the form.
        QVERIFY(QTest::qWaitFor([&] { return !service.takeRequests().isEmpty(); }, 15000));
        QTRY_VERIFY_WITH_TIMEOUT(child<QPushButton>("loginBtn")->isEnabled(), 15000);
    }

    void typeCredentials(const QString &user, const QString &password)
    {
        child<QLineEdit>("usernameEdit")->setText(user);
        child<QLineEdit>("passwordEdit")->setText(password);
    }

    // The service's view of the login: the operations it was asked for.
    QStringList requestsSeen() { return service.takeOperations(); }

    QStringList toolRuns() const { return adapterToolCommands(toolLog); }

    static bool mainFormShown()
    {
        const auto forms = QApplication::topLevelWidgets();
        return std::any_of(forms.begin(), forms.end(), [](QWidget *w) {
            return qobject_cast<MainForm *>(w) && w->isVisible();
        });
    }

    void logOutAndWait()
    {
        dialog()->show();
        dialog()->logout();
        QTRY_COMPARE_WITH_TIMEOUT(tunnel()->getStatus(), Disconnected, 15000);
        QTRY_VERIFY(child<QPushButton>("loginBtn")->isEnabled());
    }

    QString bedError;

private:
    // Declared first: the server needs its folder to stop.
    QTemporaryDir scratch;

protected:
    OpenVpnServerPeer server;
    ServicePeer service;

private:
    QString toolLog;
    Tunnel *bedTunnel = nullptr;
    TrayWidget *bedTray = nullptr;
    LoginDlg *bedDialog = nullptr;
    RememberedPasswords *bedPasswords = nullptr;
};
