// The update check before the first login, and the updater's download: the
// controller runs them, the dialog asks the user and shows the progress.
#include "core/ApplicationVersion.h"
#include "core/Deployment.h"
#include "ui/login/LoginDlg.h"
#include "ui/widgets/AnimStatus.h"
#include "ui/widgets/MessageBox.h"

#include <QDesktopServices>
#include <QPushButton>
#include <QUrl>

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

void LoginDlg::askPackageUpdate(const QString &version)
{
    const QString current = QLatin1String(ApplicationVersion);
    QMessageBox box(QMessageBox::Information, tr("Quillnet"),
                    (version.isEmpty()
                         ? tr("A new version of Quillnet is available; you have %1.").arg(current)
                         : tr("Quillnet %1 is available; you have %2.").arg(version, current)) +
                        QLatin1Char('\n') +
                        tr("Quillnet was installed from a package: update it with your package "
                           "manager, or get the new package from the download page and open it."),
                    QMessageBox::Open | QMessageBox::Close, this);
    box.button(QMessageBox::Open)->setText(tr("Open download page"));
    box.button(QMessageBox::Close)->setText(tr("Not now"));
    box.setDefaultButton(QMessageBox::Open);
    if (MessageBox::exec(box) == QMessageBox::Open)
        QDesktopServices::openUrl(QUrl(Deployment::current().downloadLink()));
    // As after a declined update: this version goes on.
    checkAutoLogin();
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
