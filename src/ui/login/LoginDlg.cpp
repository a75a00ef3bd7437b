#include "ui/login/LoginDlg.h"

#include <QLabel>
#include <QVBoxLayout>

LoginDlg::LoginDlg(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("LoginDialog"));
    setWindowTitle(tr("Quillnet 2.0"));
    setFixedSize(300, 439);
    setStyleSheet(QStringLiteral("QWidget { font: 11px } QDialog { background: white }"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *title = new QLabel(this);
    title->setPixmap(QPixmap(QStringLiteral(":/img/backgnd/title-login.png")));
    layout->addWidget(title);
    auto *prompt = new QLabel(tr("Login, please"), this);
    prompt->setStyleSheet(QStringLiteral("font: 19px; color: #4782B4"));
    prompt->setAlignment(Qt::AlignCenter);
    layout->addWidget(prompt, 1);
}
