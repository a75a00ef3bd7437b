#include "ui/main/MainForm.h"

#include "app/Instances.h"
#include "app/TrayWidget.h"
#include "ui/login/LoginDlg.h"
#include "vpn/VPNConnection.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

MainForm::MainForm(QWidget *parent) : QDialog(parent), locationLbl(new QLabel(this))
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(tr("Quillnet"));
    setFixedSize(686, 537);
    setStyleSheet(QStringLiteral("QDialog { background: white }"));

    auto *title = new QLabel(this);
    title->setPixmap(QPixmap(QStringLiteral(":/img/backgnd/title.png")));
    locationLbl->setStyleSheet(QStringLiteral("font: 16px; color: #042a4a"));
    locationLbl->setAlignment(Qt::AlignCenter);

    auto *reconnectBtn = new QPushButton(tr("Reconnect"), this);
    auto *logoutBtn = new QPushButton(tr("Log out"), this);
    auto *exitBtn = new QPushButton(tr("Exit Quillnet"), this);
    connect(reconnectBtn, &QPushButton::clicked, this, &MainForm::reconnect);
    connect(logoutBtn, &QPushButton::clicked, this, &MainForm::logOut);
    connect(exitBtn, &QPushButton::clicked, this, &MainForm::exitApp);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(reconnectBtn);
    buttons->addWidget(logoutBtn);
    buttons->addWidget(exitBtn);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 24);
    layout->addWidget(title);
    layout->addStretch();
    layout->addWidget(locationLbl);
    layout->addStretch();
    layout->addLayout(buttons);

    if (trayWidget)
        trayWidget->addWindow(this);
}

MainForm::~MainForm()
{
    if (trayWidget)
        trayWidget->removeWindow(this);
}

void MainForm::setLocation(QString ip, QString location)
{
    locationLbl->setText(tr("Connected to %1\nYour address on the Internet: %2").arg(location, ip));
}

void MainForm::enableNonfreeWidgets(bool reg_user)
{
    Q_UNUSED(reg_user)
}

void MainForm::getReceivingDone(QByteArray response, bool ok)
{
    Q_UNUSED(response)
    Q_UNUSED(ok)
}

void MainForm::getAliasesDone(QByteArray response, bool ok)
{
    Q_UNUSED(response)
    Q_UNUSED(ok)
}

void MainForm::getContactDone(QByteArray response, bool ok)
{
    Q_UNUSED(response)
    Q_UNUSED(ok)
}

void MainForm::loginDone() {}

void MainForm::setNoticesMuted(bool muted)
{
    Q_UNUSED(muted)
}

void MainForm::startWebFilter() {}

void MainForm::startMailProxy() {}

void MainForm::handBackToLogin()
{
    hide();
    loginDlg->show();
    loginDlg->activateWindow();
    loginDlg->uiSetEnabled(false);
}

void MainForm::reconnect()
{
    handBackToLogin();
    if (vpnConnection->getStatus() == Disconnected)
        loginDlg->relogin();
    else
        loginDlg->reconnectVpn();
}

void MainForm::logOut()
{
    if (QMessageBox::question(this, tr("Quillnet"), tr("Are you sure you want to log out?"),
                              QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    handBackToLogin();
    loginDlg->logout();
}

void MainForm::exitApp()
{
    if (trayWidget)
        trayWidget->quitApp();
    else
        QCoreApplication::quit();
}
