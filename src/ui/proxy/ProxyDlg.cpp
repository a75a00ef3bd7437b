#include "ui/proxy/ProxyDlg.h"

#include "ui/proxy/ProxyWdg.h"

#include <QLabel>
#include <QPushButton>

ProxyDlg::ProxyDlg(QWidget *parent, RememberedPasswords *passwords)
    : TmpDialog(parent), proxyWdg(new ProxyWdg(this, passwords))
{
    setWindowModality(Qt::ApplicationModal);
    setWindowTitle(tr("Quillnet - Proxy settings"));
    setFixedSize(510, 295);
    setStyleSheet(QStringLiteral("QDialog { background: white }"));

    auto *heading = new QLabel(tr("Proxy settings"), this);
    heading->setGeometry(12, 5, 300, 30);
    heading->setStyleSheet(QStringLiteral("font: 24px \"Microsoft Sans Serif\"; color: #4782B4"));
    proxyWdg->setGeometry(5, 35, 500, 230);

    auto *saveBtn = new QPushButton(tr("Save"), this);
    saveBtn->setObjectName(QStringLiteral("saveBtn"));
    saveBtn->setGeometry(340, 265, 75, 23);
    auto *cancelBtn = new QPushButton(tr("Cancel"), this);
    cancelBtn->setObjectName(QStringLiteral("cancelBtn"));
    cancelBtn->setGeometry(420, 265, 75, 23);
    connect(saveBtn, &QPushButton::clicked, this, &ProxyDlg::okBtnClicked);
    connect(cancelBtn, &QPushButton::clicked, this, &ProxyDlg::reject);
}

void ProxyDlg::okBtnClicked()
{
    proxyWdg->saveSettings();
    accept();
}
