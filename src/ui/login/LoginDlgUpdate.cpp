// The update check before the first login, and the updater's download.
#include "net/RequestServer.h"
#include "proxy/ProxySettings.h"
#include "ui/login/LoginDlg.h"
#include "widgets/AnimStatus.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QTimer>
#include <QUrl>

namespace {
QUrl updateUrl;
}

void LoginDlg::checkUpdate()
{
    updateServer->setProxy(proxyFromSettings(-1));
    if (updateServer->checkUpdate()) {
        uiSetEnabled(false);
        mySetStatus(tr("Checking updates"), AutoAnim, 0);
    }
}

void LoginDlg::checkUpdateDone(QByteArray response, bool ok)
{
    myClearStatus();
    if (ok && response.size() > 1) {
        const int zero = response.indexOf('\0');
        const QUrl url(QString::fromLatin1(zero < 0 ? response : response.left(zero)),
                       QUrl::StrictMode);
        // Only an encrypted download is ever offered.
        if (url.isValid() &&
            url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0) {
            updateUrl = url;
            QTimer::singleShot(0, this, &LoginDlg::downloadUpdate);
            return;
        }
    }
    checkAutoLogin();
}

void LoginDlg::downloadUpdate()
{
    if (QMessageBox::question(
            this, tr("Quillnet"),
            tr("Update of Quillnet is available.\nDo you want to download and install it now?"),
            QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
        checkAutoLogin();
        return;
    }
    mySetStatus(tr("Downloading update"), AutoAnim, 0);
    // Not sent (the file cannot be written): nothing would ever answer.
    if (!updateServer->downloadUpdate(updateUrl, QLatin1String(UpdaterFile))) {
        myClearStatus();
        uiSetEnabled(true);
    }
}

void LoginDlg::updateProgress(int done, int total)
{
    if (total > 0)
        mySetStatus(tr("Downloading %1%").arg(qint64(done) * 100 / total), NoAnim, 0);
}

void LoginDlg::downloadUpdateDone(QByteArray response, bool ok)
{
    Q_UNUSED(response)
    myClearStatus();
    QFile updater{QLatin1String(UpdaterFile)};
    if (ok) {
        updater.setPermissions(updater.permissions() | QFile::ExeOwner | QFile::ExeUser);
        if (QProcess::startDetached(QDir::current().filePath(QLatin1String(UpdaterFile)), {})) {
            // Not quit(): in Qt 6 that first asks every window to close, and
            // this dialog answers a close with a question.
            QCoreApplication::exit(0);
            return;
        }
    }
    // Whatever part of it arrived is never run.
    updater.remove();
    myAttention(tr("Update failed."), tr("The update could not be downloaded."));
    uiSetEnabled(true);
}
