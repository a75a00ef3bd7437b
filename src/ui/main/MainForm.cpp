#include "ui/main/MainForm.h"

#include "core/Deployment.h"
#include "app/Instances.h"
#include "ui/tray/TrayWidget.h"
#include "ui/mail/MailDialog.h"
#include "mail/SmtpRoxyServer.h"
#include "net/RequestServer.h"
#include "ui/proxy/ProxyWdg.h"
#include "ui/support/SupportWdg.h"
#include "ui/login/LoginDlg.h"
#include "vpn/AdapterControl.h"
#include "vpn/Tunnel.h"
#include "webfilter/WebFilter.h"
#include "ui/widgets/BindErrorBox.h"
#include "ui/widgets/ImageBtnBar.h"
#include "ui/widgets/ImageButton.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include "ui/widgets/MessageBox.h"
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

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

template <typename Page = QWidget, typename... Args>
Page *addPage(QStackedWidget *stack, const char *name, Args... args)
{
    auto *page = new Page(args...);
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

MainForm::MainForm(QWidget *parent) : QDialog(parent)
{
    buildShell();
    menuBtnBar->click(0);
    tabBtnBar->click(0);

    setUpWebPage();
    setUpMailPage();
    setUpPersonalPage();
    connect(trayWidget, &TrayWidget::junkMailTriggered, this, &MainForm::addJunkAlias);

    requestServer = new RequestServer(Deployment::current().serviceHost, this);
    takeLoginCredentials();
    connectRequestServer();

    smtpProxy = new SmtpRoxyServer(this);
    connect(smtpProxy, &SmtpRoxyServer::showQuery, this, &MainForm::showMailQuery);

    // After every page exists, so that the pages' widgets reach their slots.
    QMetaObject::connectSlotsByName(this);
    trayWidget->addWindow(this);
}

MainForm::~MainForm()
{
    saveProxyTabIfShown();
    delete mailDialog;
    trayWidget->removeWindow(this);
}

void MainForm::buildShell()
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(tr("Quillnet 2.0"));
    setFixedSize(686, 420);
    setStyleSheet(QStringLiteral("QWidget { font: 11px } ") + QLatin1String(DisabledLook));

    label = new QLabel(this);
    label->setObjectName(QStringLiteral("label"));
    label->setGeometry(0, 0, 686, 78);
    label->setPixmap(QPixmap(QStringLiteral(":/img/backgnd/title.png")));

    menuBtnBar = new ImageBtnBar(this);
    menuBtnBar->setObjectName(QStringLiteral("menuBtnBar"));
    menuBtnBar->setGeometry(0, 78, 686, 40);
    const QPixmap menuSprite(QStringLiteral(":/img/button/menubar.png"));
    const int bounds[] = {0, 133, 277, 419, 566, 686};
    for (int i = 0; i < 5; ++i)
        menuBtnBar->addButton(piece(menuSprite, bounds[i], 0, bounds[i + 1] - 1, 39),
                              piece(menuSprite, bounds[i], 40, bounds[i + 1] - 1, 79),
                              piece(menuSprite, bounds[i], 80, bounds[i + 1] - 1, 119));

    mainStackWdg = new QStackedWidget(this);
    mainStackWdg->setObjectName(QStringLiteral("mainStackWdg"));
    mainStackWdg->setGeometry(0, 118, 686, 302);
    mainStackWdg->setStyleSheet(QLatin1String(DisabledLook));
    webPage = addPage(mainStackWdg, "webPage");
    emailPage = addPage(mainStackWdg, "emailPage");
    settingsPage = addPage(mainStackWdg, "settingsPage");
    supportPage = addPage<SupportWdg>(mainStackWdg, "supportPage",
                                      loginDlg ? loginDlg->account() : nullptr,
                                      static_cast<const Tunnel *>(vpnConnection));
    exitPage = addPage(mainStackWdg, "exitPage");
    web.setupUi(webPage);
    mail.setupUi(emailPage);

    tabBtnBar = new ImageBtnBar(settingsPage);
    tabBtnBar->setObjectName(QStringLiteral("tabBtnBar"));
    tabBtnBar->setGeometry(0, 0, 686, 26);
    const QPixmap tabSprite(QStringLiteral(":/img/button/tabbar.png"));
    for (int x : {0, 107})
        tabBtnBar->addButton(piece(tabSprite, x, 0, x + 106, 25),
                             piece(tabSprite, x, 26, x + 106, 51),
                             piece(tabSprite, x, 52, x + 106, 77));
    tabBtnBar->addImage(piece(tabSprite, 213, 0, 685, 25));
    tabStackWdg = new QStackedWidget(settingsPage);
    tabStackWdg->setObjectName(QStringLiteral("tabStackWdg"));
    tabStackWdg->setGeometry(0, 26, 686, 276);
    personalPage = new QWidget;
    personalPage->setObjectName(QStringLiteral("personalPage"));
    tabStackWdg->addWidget(personalPage);
    personal.setupUi(personalPage);
    proxyPage = new QWidget;
    proxyPage->setObjectName(QStringLiteral("proxyPage"));
    tabStackWdg->addWidget(proxyPage);
    auto *proxyHeading = new QLabel(tr("Proxy settings"), proxyPage);
    proxyHeading->setStyleSheet(QStringLiteral("font: 24px; color: #4782B4"));
    proxyHeading->setGeometry(20, 8, 400, 30);
    proxyWdg = new ProxyWdg(proxyPage);
    proxyWdg->setObjectName(QStringLiteral("proxyWdg"));
    proxyWdg->move(20, 40);

    const QPixmap exitSprite(QStringLiteral(":/img/button/exitbar.png"));
    reconnectImgBtn = exitButton(exitPage, "reconnectImgBtn", exitSprite, 0);
    logoutImgBtn = exitButton(exitPage, "logoutImgBtn", exitSprite, 1);
    exitImgBtn = exitButton(exitPage, "exitImgBtn", exitSprite, 2);
}

void MainForm::connectRequestServer()
{
    connect(requestServer, &RequestServer::getContactDone, this, &MainForm::getContactDone);
    connect(requestServer, &RequestServer::changeContactDone, this, &MainForm::changeContactDone);
    connect(requestServer, &RequestServer::changePasswordDone, this, &MainForm::changePasswordDone);
    connect(requestServer, &RequestServer::getAliasesDone, this, &MainForm::getAliasesDone);
    connect(requestServer, &RequestServer::addJunkDone, this, &MainForm::addJunkDone);
    connect(requestServer, &RequestServer::addAliasDone, this, &MainForm::addAliasDone);
    connect(requestServer, &RequestServer::deleteAliasDone, this, &MainForm::deleteAliasDone);
    connect(requestServer, &RequestServer::changeAliasDone, this, &MainForm::changeAliasDone);
    connect(requestServer, &RequestServer::getReceivingDone, this, &MainForm::getReceivingDone);
    connect(requestServer, &RequestServer::setReceivingDone, this, &MainForm::setReceivingDone);
    connect(requestServer, &RequestServer::requestServerBusy, this, &MainForm::requestServerBusy);
    connect(requestServer, &RequestServer::requestServerFree, this, &MainForm::requestServerFree);
}

void MainForm::takeLoginCredentials()
{
    requestServer->setUser(loginDlg->currentUser(), loginDlg->currentPassword());
}

void MainForm::reloadSupportSender()
{
    supportPage->reloadSender();
}

void MainForm::saveProxyTabIfShown()
{
    if (mainStackWdg->currentWidget() == settingsPage && tabStackWdg->currentWidget() == proxyPage)
        proxyWdg->saveSettings();
}

void MainForm::on_menuBtnBar_selectionChanged(int index)
{
    saveProxyTabIfShown();
    if (index == 1 && !freeAccount && !aliasesLoaded)
        getAliases();
    else if (index == 2 && !freeAccount && !contactLoaded)
        getContact();
    if (index > 4)
        return;
    mainStackWdg->setCurrentIndex(index);
}

void MainForm::on_tabBtnBar_selectionChanged(int index)
{
    if (tabStackWdg->currentWidget() == proxyPage)
        proxyWdg->saveSettings();
    if (index == 0 || index == 1)
        tabStackWdg->setCurrentIndex(index);
}

void MainForm::enableNonfreeWidgets(bool reg_user)
{
    freeAccount = !reg_user;
    enableMailWidgets(reg_user);
    // The personal page's inputs follow personalEnable below.

    if (freeAccount) {
        personal.personalProgressWdg->setStyleSheet(QStringLiteral(
            "QWidget#personalProgressWdg { background-image: url(:/img/backgnd/notice1.png) }"));
        mail.mailProgressWdg->setStyleSheet(QStringLiteral(
            "QWidget#mailProgressWdg { background-image: url(:/img/backgnd/notice2.png) }"));
        mail.mailProgressLbl->setAlignment(Qt::AlignLeft);
        personal.personalProgressLbl->setAlignment(Qt::AlignLeft);
        mail.mailProgressLbl->setInfo(tr("You are logged\nin free Quillnet.\nTo take advantage\nof "
                                         "these services,\nplease register."));
        personal.personalProgressLbl->setInfo(tr("You are logged in free Quillnet.\nTo take "
                                                 "advantage of these services, please register."));
    } else {
        personal.personalProgressWdg->setStyleSheet(QString());
        mail.mailProgressWdg->setStyleSheet(QString());
        mail.mailProgressLbl->setAlignment(Qt::AlignLeft);
        personal.personalProgressLbl->setAlignment(Qt::AlignRight);
        mail.mailProgressLbl->hideStatus();
        personal.personalProgressLbl->hideStatus();
    }
    personalEnable(reg_user);
    trayWidget->junkEnable(reg_user);
}

void MainForm::requestServerBusy()
{
    trayWidget->junkEnable(false);
}

void MainForm::requestServerFree()
{
    trayWidget->junkEnable(signedIn && !freeAccount);
}

void MainForm::loginDone()
{
    signedIn = true;
    takeLoginCredentials();
    setNoticesMuted(false);
    menuBtnBar->click(0);
}

void MainForm::setNoticesMuted(bool muted)
{
    noticesMuted = muted;
    mail.mailProgressLbl->muted = muted;
    personal.personalProgressLbl->muted = muted;
}

void MainForm::changeUser()
{
    aliasesLoaded = contactLoaded = receivingLoaded = signedIn = false;
    trayWidget->junkEnable(false);
    stopWebFilter();
    stopMailProxy();
    // The window comes back once the next login is done.
    hide();
    loginDlg->uiSetEnabled(false);
    loginDlg->show();
    loginDlg->activateWindow();
}

void MainForm::startMailProxy()
{
    if (freeAccount)
        return;
    if (!aliasesLoaded)
        getAliases();
    smtpProxy->startProxy();
    const bool listening = smtpProxy->port() != 0;
    showMailProxyRunning(listening);
    if (!listening) {
        // Reported like the web filter's port; what the user asked for
        // stays stored, so the next start tries again.
        showBindError(tr("Quillnet"), tr("Mail anonymization proxy couldn't bind to port %1.\n"
                                         "There may be other mail proxy running.")
                                          .arg(SmtpRoxyServer::defaultPort));
        return;
    }
    setAdapterFlag(vpnConnection->getAdapterGuid(), 2);
}

void MainForm::stopMailProxy()
{
    clearAdapterFlag(vpnConnection->getAdapterGuid(), 2);
    smtpProxy->stopProxy();
}

void MainForm::on_reconnectImgBtn_clicked()
{
    if (vpnConnection->getStatus() == Disconnected) {
        changeUser();
        loginDlg->relogin();
        return;
    }
    if (!askYesNo(this, tr("There is still active connection that will be closed.\nDo you want "
                           "to reconnect?")))
        return;
    changeUser();
    loginDlg->reconnectVpn();
}

void MainForm::on_logoutImgBtn_clicked()
{
    if (vpnConnection->getStatus() != Disconnected &&
        !askYesNo(this, tr("There is still active connection that will be closed.\nDo you want "
                           "to disconnect?")))
        return;
    changeUser();
    loginDlg->logout();
}

void MainForm::on_exitImgBtn_clicked()
{
    if (vpnConnection->getStatus() != Disconnected &&
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
    trayWidget->hideApp();
}

void MainForm::accept()
{
    close();
}

void MainForm::reject()
{
    close();
}

bool MainForm::event(QEvent *e)
{
    if (loginDlg && !loginDlg->isVisible()) {
        if (e->type() == QEvent::WindowActivate)
            trayWidget->focusIn();
        else if (e->type() == QEvent::WindowDeactivate)
            trayWidget->focusOut();
    }
    return QDialog::event(e);
}
