// The update check before the first login, and the updater's download: the
// controller runs them, the dialog asks the user and shows the progress.
#include "ui/login/LoginDlg.h"
#include "ui/widgets/AnimStatus.h"
#include "ui/widgets/MessageBox.h"

void LoginDlg::checkUpdate()
{
    controller->checkUpdate();
}

void LoginDlg::checkUpdateDone(QByteArray response, bool ok)
{
    controller->checkUpdateDone(response, ok);
}

void LoginDlg::downloadUpdate()
{
    if (MessageBox::question(
            this, tr("Quillnet"),
            tr("Update of Quillnet is available.\nDo you want to download and install it now?")) !=
        QMessageBox::Yes) {
        checkAutoLogin();
        return;
    }
    controller->downloadUpdate();
}

void LoginDlg::updateProgress(int done, int total)
{
    if (total > 0)
        mySetStatus(tr("Downloading %1%").arg(qint64(done) * 100 / total), NoAnim, 0);
}

void LoginDlg::downloadUpdateDone(QByteArray response, bool ok)
{
    controller->downloadUpdateDone(response, ok);
}
