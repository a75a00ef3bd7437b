#include "ui/main/MainForm.h"

#include "core/Deployment.h"
#include "login/LoginController.h"
#include "net/RequestServer.h"
#include "ui/main/EmailPage.h"
#include "ui/main/PersonalPage.h"
#include "ui/main/WebPage.h"
#include "ui/proxy/ProxyWdg.h"
#include "ui/support/SupportWdg.h"
#include "ui/tray/TrayWidget.h"
#include "ui/widgets/ImageBtnBar.h"
#include "ui/widgets/ImageButton.h"
#include "ui/widgets/MessageBox.h"
#include "ui/widgets/Pictures.h"
#include "vpn/Tunnel.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QStackedWidget>

namespace {

const char DisabledLook[] =
    "QDialog { background: white } QLabel:disabled { color: #AAAAAA } QCheckBox:disabled { color: "
    "#AAAAAA } QLineEdit:disabled { background: #F4F4F4 } QSpinBox:disabled { background: #F4F4F4 "
    "} QComboBox:disabled { background: #F4F4F4 } QTreeWidget:disabled { background: #F4F4F4 }";

// The sprite pictures name their pieces by inclusive pixel boundaries.
QPixmap piece(const QPixmap &sprite, int x1, int y1, int x2, int y2)
{
    return sprite.copy(x1, y1, x2 - x1 + 1, y2 - y1 + 1);
}

template <typename Page> Page *addPage(QStackedWidget *stack, Page *page, const char *name)
{
    page->setObjectName(QLatin1String(name));
    // Added to what the page brings along (the support page has a sheet of its own).
    page->setStyleSheet(
        page->styleSheet() +
        QStringLiteral(" QWidget#%1 { background-image: url(:/img/backgnd/stripe.png); "
                       "background-repeat: no-repeat; background-position: bottom }")
            .arg(QLatin1String(name)));
    stack->addWidget(page);
    return page;
}

ImageButton *exitButton(QWidget *page, const char *name, const QPixmap &sprite, int row)
{
    auto *button = new ImageButton(page);
    button->setObjectName(QLatin1String(name));
    const int y1 = row * 54, y2 = y1 + 53;
    button->setPixmaps(piece(sprite, 0, y1, 311, y2), piece(sprite, 312, y1, 623, y2),
                       piece(sprite, 624, y1, 935, y2));
    button->setGeometry(187, 40 + row * 74, 312, 54);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

bool askYesNo(QWidget *parent, const QString &text)
{
    return MessageBox::question(parent, MainForm::tr("Quillnet"), text,
                                QMessageBox::Yes | QMessageBox::No,
                                QMessageBox::No) == QMessageBox::Yes;
}

} // namespace

MainForm::MainForm(LoginController *login, Tunnel *tunnel, TrayWidget *tray, QWidget *loginWindow,
                   QWidget *parent)
    : QDialog(parent), login(login), tunnel(tunnel), tray(tray), loginWindow(loginWindow),
      requests(new RequestServer(Deployment::current().serviceHost, this))
{
    takeLoginCredentials();
    buildShell();
    menuBtnBar->click(0);
    tabBtnBar->click(0);
    connectShell();
    if (tray)
        tray->addWindow(this);
}

MainForm::~MainForm()
{
    saveProxyTabIfShown();
    if (tray)
        tray->removeWindow(this);
}

void MainForm::buildShell()
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(tr("Quillnet 2.0"));
    setFixedSize(686, 420);
    setStyleSheet(QStringLiteral("QWidget { font: 11px } ") + QLatin1String(DisabledLook));

    auto *label = new QLabel(this);
    label->setObjectName(QStringLiteral("label"));
    label->setGeometry(0, 0, 686, 78);
    label->setPixmap(Pictures::pixmap(QStringLiteral(":/img/backgnd/title.png")));

    menuBtnBar = new ImageBtnBar(this);
    menuBtnBar->setObjectName(QStringLiteral("menuBtnBar"));
    menuBtnBar->setGeometry(0, 78, 686, 40);
    const QPixmap menuSprite = Pictures::sheet(QStringLiteral(":/img/button/menubar.png"));
    const int bounds[] = {0, 133, 277, 419, 566, 686};
    for (int i = 0; i < 5; ++i)
        menuBtnBar->addButton(piece(menuSprite, bounds[i], 0, bounds[i + 1] - 1, 39),
                              piece(menuSprite, bounds[i], 40, bounds[i + 1] - 1, 79),
                              piece(menuSprite, bounds[i], 80, bounds[i + 1] - 1, 119));

    mainStackWdg = new QStackedWidget(this);
    mainStackWdg->setObjectName(QStringLiteral("mainStackWdg"));
    mainStackWdg->setGeometry(0, 118, 686, 302);
    mainStackWdg->setStyleSheet(QLatin1String(DisabledLook));
    web = addPage(mainStackWdg, new WebPage(tunnel), "webPage");
    email = addPage(mainStackWdg, new EmailPage(requests, tunnel), "emailPage");
    settingsPage = addPage(mainStackWdg, new QWidget, "settingsPage");
    supportPage = addPage(mainStackWdg, new SupportWdg(login, tunnel), "supportPage");
    exitPage = addPage(mainStackWdg, new QWidget, "exitPage");
    buildSettingsPage();
    buildExitPage();
}

void MainForm::buildSettingsPage()
{
    tabBtnBar = new ImageBtnBar(settingsPage);
    tabBtnBar->setObjectName(QStringLiteral("tabBtnBar"));
    tabBtnBar->setGeometry(0, 0, 686, 26);
    const QPixmap tabSprite = Pictures::sheet(QStringLiteral(":/img/button/tabbar.png"));
    for (int x : {0, 107})
        tabBtnBar->addButton(piece(tabSprite, x, 0, x + 106, 25),
                             piece(tabSprite, x, 26, x + 106, 51),
                             piece(tabSprite, x, 52, x + 106, 77));
    tabBtnBar->addImage(piece(tabSprite, 213, 0, 685, 25));
    tabStackWdg = new QStackedWidget(settingsPage);
    tabStackWdg->setObjectName(QStringLiteral("tabStackWdg"));
    tabStackWdg->setGeometry(0, 26, 686, 276);
    personal = new PersonalPage(requests, login);
    personal->setObjectName(QStringLiteral("personalPage"));
    tabStackWdg->addWidget(personal);
    proxyPage = new QWidget;
    proxyPage->setObjectName(QStringLiteral("proxyPage"));
    tabStackWdg->addWidget(proxyPage);
    auto *proxyHeading = new QLabel(tr("Proxy settings"), proxyPage);
    proxyHeading->setStyleSheet(QStringLiteral("font: 24px; color: #4782B4"));
    proxyHeading->setGeometry(20, 8, 400, 30);
    proxyWdg = new ProxyWdg(proxyPage, login ? login->rememberedPasswords() : nullptr);
    proxyWdg->setObjectName(QStringLiteral("proxyWdg"));
    proxyWdg->move(20, 40);
}

void MainForm::buildExitPage()
{
    const QPixmap exitSprite = Pictures::sheet(QStringLiteral(":/img/button/exitbar.png"));
    reconnectImgBtn = exitButton(exitPage, "reconnectImgBtn", exitSprite, 0);
    logoutImgBtn = exitButton(exitPage, "logoutImgBtn", exitSprite, 1);
    exitImgBtn = exitButton(exitPage, "exitImgBtn", exitSprite, 2);
}

void MainForm::connectShell()
{
    connect(menuBtnBar, &ImageBtnBar::selectionChanged, this, &MainForm::menuSelected);
    connect(tabBtnBar, &ImageBtnBar::selectionChanged, this, &MainForm::tabSelected);
    connect(reconnectImgBtn, &ImageButton::clicked, this, &MainForm::on_reconnectImgBtn_clicked);
    connect(logoutImgBtn, &ImageButton::clicked, this, &MainForm::on_logoutImgBtn_clicked);
    connect(exitImgBtn, &ImageButton::clicked, this, &MainForm::on_exitImgBtn_clicked);
    connect(requests, &RequestServer::requestServerBusy, this, &MainForm::requestsBusy);
    connect(requests, &RequestServer::requestServerFree, this, &MainForm::requestsFree);
    // The support form's reply address follows the stored contact address.
    connect(personal, &PersonalPage::contactChanged, supportPage, &SupportWdg::reloadSender);
    connect(personal, &PersonalPage::passwordChanged, this, &MainForm::passwordChanged);
    // The next start (a reconnect, the next login) blocks or not as the box says.
    connect(personal, &PersonalPage::blockOutsideTunnelChanged, tunnel,
            &Tunnel::setBlockOutsideTunnel);
    if (tunnel) {
        connect(personal, &PersonalPage::allowLocalNetworkChanged, tunnel,
                &Tunnel::setAllowLocalNetwork);
        connect(tunnel, &Tunnel::signInChanged, web, &WebPage::showSignIn);
        connect(web, &WebPage::signInRequested, tunnel, &Tunnel::openForSignIn);
        connect(tunnel, &Tunnel::signInChanged, this, [this](Tunnel::SignIn state) {
            if (state == Tunnel::SignIn::Needed && tray)
                tray->showMessage(tr("Quillnet is reconnecting"), WebPage::signInNeededText(),
                                  QSystemTrayIcon::Warning, 10000);
        });
    }
    if (!tray)
        return;
    connect(tray, &TrayWidget::junkMailTriggered, email, &EmailPage::addJunkAlias);
    connect(email, &EmailPage::junkMailNotice, tray,
            [this](const QString &title, const QString &text) {
                tray->showMessage(title, text, QSystemTrayIcon::Information, 10000);
            });
}

void MainForm::takeLoginCredentials()
{
    requests->setUser(login->user(), login->password());
}

bool MainForm::proxyTabInView() const
{
    return mainStackWdg->currentWidget() == settingsPage && proxyTabShown();
}

void MainForm::saveProxyTabIfShown()
{
    if (proxyTabInView())
        proxyWdg->saveSettings();
}

void MainForm::proxySettingsSaved()
{
    proxyWdg->loadSettings();
}

void MainForm::selectPage(int index)
{
    menuBtnBar->click(index);
}

int MainForm::currentPage() const
{
    return mainStackWdg->currentIndex();
}

void MainForm::selectSettingsTab(int index)
{
    tabBtnBar->click(index);
}

bool MainForm::proxyTabShown() const
{
    return tabStackWdg->currentWidget() == proxyPage;
}

void MainForm::menuSelected(int index)
{
    saveProxyTabIfShown();
    if (index == Email && !freeAccount && !email->aliasesLoaded())
        email->getAliases();
    else if (index == Settings && !freeAccount && !personal->contactLoaded())
        personal->getContact();
    if (index > Exit)
        return;
    mainStackWdg->setCurrentIndex(index);
    // The login dialog's proxy form, or a login through the system's proxy,
    // may have stored another choice since the tab was last in view.
    if (proxyTabInView())
        proxyWdg->loadSettings();
}

void MainForm::tabSelected(int index)
{
    if (proxyTabShown())
        proxyWdg->saveSettings();
    if (index == 0 || index == 1)
        tabStackWdg->setCurrentIndex(index);
    if (proxyTabInView())
        proxyWdg->loadSettings();
}

void MainForm::enableNonfreeWidgets(bool reg_user)
{
    freeAccount = !reg_user;
    email->setFreeAccount(freeAccount);
    personal->setFreeAccount(freeAccount);
    enableJunkMail(reg_user);
}

void MainForm::enableJunkMail(bool on)
{
    if (tray)
        tray->junkEnable(on);
}

void MainForm::requestsBusy()
{
    enableJunkMail(false);
}

void MainForm::requestsFree()
{
    enableJunkMail(signedIn && !freeAccount);
}

void MainForm::loginDone()
{
    signedIn = true;
    takeLoginCredentials();
    // The login may have forgotten the last account's contact address
    // without the service telling this one's.
    supportPage->reloadSender();
    setNoticesMuted(false);
    menuBtnBar->click(0);
}

void MainForm::setNoticesMuted(bool muted)
{
    email->setNoticesMuted(muted);
    personal->setNoticesMuted(muted);
}

void MainForm::setLocation(QString ip, QString location)
{
    web->setLocation(ip, location);
}

void MainForm::startWebFilter()
{
    web->startWebFilter();
}

void MainForm::stopWebFilter()
{
    web->stopWebFilter();
}

void MainForm::startMailProxy()
{
    email->startMailProxy();
}

void MainForm::stopMailProxy()
{
    email->stopMailProxy();
}

void MainForm::getAliasesDone(QByteArray response, bool ok)
{
    email->getAliasesDone(response, ok);
}

void MainForm::getReceivingDone(QByteArray response, bool ok)
{
    email->getReceivingDone(response, ok);
}

void MainForm::getContactDone(QByteArray response, bool ok)
{
    personal->getContactDone(response, ok);
}

void MainForm::changeUser()
{
    email->forgetSettings();
    personal->forgetAccount();
    signedIn = false;
    enableJunkMail(false);
    stopWebFilter();
    stopMailProxy();
    // The window comes back once the next login is done.
    hide();
    emit loginWanted();
}

bool MainForm::tunnelDown() const
{
    return !tunnel || tunnel->getStatus() == Disconnected;
}

void MainForm::on_reconnectImgBtn_clicked()
{
    if (tunnelDown()) {
        changeUser();
        emit reloginWanted();
        return;
    }
    if (!askYesNo(this, tr("There is still active connection that will be closed.\nDo you want "
                           "to reconnect?")))
        return;
    changeUser();
    emit reconnectWanted();
}

void MainForm::on_logoutImgBtn_clicked()
{
    if (!tunnelDown() &&
        !askYesNo(this, tr("There is still active connection that will be closed.\nDo you want "
                           "to disconnect?")))
        return;
    changeUser();
    login->logout();
}

void MainForm::on_exitImgBtn_clicked()
{
    if (!tunnelDown() &&
        !askYesNo(nullptr, tr("There is still active connection that will be closed if you exit "
                              "Quillnet.\nAre you sure you want to exit?")))
        return;
    // Not quit(): in Qt 6 that first asks every window to close, and ours
    // only hide themselves.
    QCoreApplication::exit(0);
}

void MainForm::closeEvent(QCloseEvent *e)
{
    e->ignore();
    if (tray)
        tray->hideApp();
}

// Enter and Escape put this window away and leave the program's others
// alone; closing the window (its button, the desktop) hides them all.
void MainForm::accept()
{
    hideAlone();
}

void MainForm::reject()
{
    hideAlone();
}

void MainForm::hideAlone()
{
    if (tray)
        tray->hideWindow(this);
    else
        showMinimized();
}

bool MainForm::event(QEvent *e)
{
    if (tray && loginWindow && !loginWindow->isVisible()) {
        if (e->type() == QEvent::WindowActivate)
            tray->focusIn();
        else if (e->type() == QEvent::WindowDeactivate)
            tray->focusOut();
    }
    return QDialog::event(e);
}
