#include "ui/app/TmpDialog.h"

#include "ui/app/OpenDialogs.h"

#include <QCloseEvent>

// Nobody may be listening: dialogs can be made before the tray or after it
// is gone.

TmpDialog::TmpDialog(QWidget *parent) : QDialog(parent)
{
    OpenDialogs::instance().announceOpened(this);
}

TmpDialog::~TmpDialog()
{
    OpenDialogs::instance().announceClosed(this);
}

void TmpDialog::reject()
{
    QDialog::reject();
    deleteLater();
}

void TmpDialog::accept()
{
    QDialog::accept();
    deleteLater();
}

bool TmpDialog::event(QEvent *e)
{
    if (e->type() == QEvent::WindowActivate)
        OpenDialogs::instance().announceActivated();
    else if (e->type() == QEvent::WindowDeactivate)
        OpenDialogs::instance().announceDeactivated();
    return QDialog::event(e);
}

void TmpDialog::closeEvent(QCloseEvent *e)
{
    // QDialog turns the close into a reject(), which schedules the deletion
    // already; a close of a dialog that is not shown does not reach reject().
    QDialog::closeEvent(e);
    if (e->isAccepted())
        deleteLater();
}
