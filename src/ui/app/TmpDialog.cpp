#include "ui/app/TmpDialog.h"

#include "app/Instances.h"
#include "ui/tray/TrayWidget.h"

#include <QCloseEvent>

// The tray may be missing: dialogs can be made before it or after it is gone.

TmpDialog::TmpDialog(QWidget *parent) : QDialog(parent)
{
    if (trayWidget)
        trayWidget->insertWindow(this);
}

TmpDialog::~TmpDialog()
{
    if (trayWidget)
        trayWidget->removeWindow(this);
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
    if (trayWidget) {
        if (e->type() == QEvent::WindowActivate)
            trayWidget->focusIn();
        else if (e->type() == QEvent::WindowDeactivate)
            trayWidget->focusOut();
    }
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
