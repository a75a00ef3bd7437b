#include "MainFormFixture.h"

#include "core/ApplicationNames.h"
#include "core/SettingsKeys.h"
#include "ui/login/LoginDlg.h"
#include "ui/main/MainForm.h"
#include "ui/tray/TrayWidget.h"
#include "vpn/VPNConnection.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QResource>
#include <QSettings>
#include <QTest>

namespace {

// A desktop with a notification area, so that hiding to the tray is possible
// on the test screen too.
class DesktopTray : public TrayWidget
{
protected:
    bool trayAvailable() const override { return true; }
};

} // namespace

MainFormFixture::~MainFormFixture()
{
    tearDownWindow();
    delete tunnel;
    delete tray;
}

bool MainFormFixture::start(QString *error)
{
    return start(error, QByteArray());
}

bool MainFormFixture::start(QString *error, const QByteArray &deploymentLines)
{
    if (!service.start()) {
        *error = service.errorString();
        return false;
    }
    QFile ini(service.deploymentFile());
    if (!ini.open(QIODevice::Append) || ini.write(deploymentLines) != deploymentLines.size()) {
        *error = ini.errorString();
        return false;
    }
    ini.close();
    qputenv("QUILLNET_DEPLOYMENT", QFile::encodeName(service.deploymentFile()));
    for (const char *name :
         {"https_proxy", "HTTPS_PROXY", "http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"})
        qunsetenv(name);
    // The pictures the program loads from its folder at start-up.
    QResource::registerResource(
        QDir(qEnvironmentVariable("QUILLNET_APP_DIR")).filePath(QStringLiteral("graphics.rcc")));
    setApplicationNames();
    QSettings().clear();
    // Real tunnels here run in the machine's own namespace: no block.
    QSettings().setValue(QLatin1String(SettingsKey::BlockOutsideTunnel), false);
    tray = new DesktopTray;
    tunnel = new VPNConnection;
    return true;
}

void MainFormFixture::tearDownWindow()
{
    // The dialog takes its window along.
    delete loginDialog;
    loginDialog = nullptr;
    delete form;
}

MainForm *MainFormFixture::findForm()
{
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (auto *mainForm = qobject_cast<MainForm *>(window))
            return mainForm;
    }
    return nullptr;
}

MainForm *MainFormFixture::logIn(const QString &user, const QString &password)
{
    tearDownWindow();
    service.control(QStringLiteral("/_control/reset"));
    // The login dialog takes a remembered account as its current one.
    QSettings settings;
    settings.setValue(QLatin1String(SettingsKey::RememberUser), true);
    settings.setValue(QLatin1String(SettingsKey::AutoLogin), false);
    settings.setValue(QLatin1String(SettingsKey::Username), user);
    settings.setValue(QLatin1String(SettingsKey::Password), password);
    loginDialog = new LoginDlg(tunnel, tray);
    // Its update check goes out once the event loop runs; let it pass.
    (void)QTest::qWaitFor([this] { return !service.takeRequests().isEmpty(); }, 10000);
    QTest::qWait(100);
    service.takeRequests();

    // The dialog builds its main window, hidden, once it is ready for input.
    (void)QTest::qWaitFor([this] { return findForm(); }, 5000);
    form = findForm();
    if (!form)
        return nullptr;
    form->enableNonfreeWidgets(loginDialog->isFullAccount());
    form->loginDone();
    form->show();
    return form;
}

QStringList MainFormFixture::requestsSeen()
{
    return service.takeOperations();
}

QJsonObject MainFormFixture::account(const QString &user)
{
    return QJsonDocument::fromJson(service.control(QStringLiteral("/_control/accounts")))
        .object()
        .value(user)
        .toObject();
}
