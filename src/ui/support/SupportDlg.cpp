#include "ui/support/SupportDlg.h"

#include "ui/support/SupportWdg.h"
#include "ui/widgets/MessageBox.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QVBoxLayout>

SupportDlg::SupportDlg(const LoginController *account, const Tunnel *tunnel, QWidget *parent)
    : TmpDialog(parent), supportWdg(new SupportWdg(account, tunnel, this))
{
    setWindowModality(Qt::ApplicationModal);
    setWindowTitle(tr("Quillnet - Support"));
    setFixedSize(686, 302);
    setStyleSheet(QStringLiteral("QDialog { background: white }"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(supportWdg);
}

void SupportDlg::closeEvent(QCloseEvent *e)
{
    QString question;
    if (supportWdg->isSending())
        question = tr("Closing this window will discard outgoing support request.\nAre you sure "
                      "you want to close it?");
    else if (!supportWdg->requestText().trimmed().isEmpty())
        question = tr("Closing this window will discard inserted support request.\nAre you sure "
                      "you want to close it?");
    if (!question.isEmpty() &&
        MessageBox::question(this, tr("Quillnet"), question) != QMessageBox::Yes) {
        e->ignore();
        return;
    }
    TmpDialog::closeEvent(e);
}

void SupportDlg::keyPressEvent(QKeyEvent *e)
{
    // Escape would reject the dialog without the close question.
    if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    TmpDialog::keyPressEvent(e);
}
