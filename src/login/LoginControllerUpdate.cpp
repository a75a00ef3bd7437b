// The update check before the first login, and the updater's download.
#include "core/Installation.h"
#include "login/LoginController.h"
#include "login/OfferedVersion.h"
#include "net/RequestServer.h"
#include "proxy/ProxySettings.h"
#include "vpn/Tunnel.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QUrl>

namespace {
QUrl updateUrl;
}

void LoginController::checkUpdate()
{
    // The update check opens every login window: a login follows, and the
    // tunnel gets ready meanwhile (a tunnel service ends by itself when no
    // login comes).
    if (tunnel)
        tunnel->prepare();
    updateServer->setProxy(proxy(-1));
    if (updateServer->checkUpdate())
        emit stepStarted(CheckingUpdates);
}

void LoginController::checkUpdateDone(QByteArray response, bool ok)
{
    emit statusCleared();
    if (ok && response.size() > 1) {
        const int zero = response.indexOf('\0');
        const QUrl url(QString::fromLatin1(zero < 0 ? response : response.left(zero)),
                       QUrl::StrictMode);
        // Only an encrypted download is ever offered.
        if (url.isValid() &&
            url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0) {
            // The package manager owns a packaged program's files: a
            // downloaded updater could not replace them, and a program
            // fetched into the user's folder is never run in its place.
            if (Installation(programPath).isPackaged()) {
                emit packageUpdateOffered(offeredVersion(url));
                return;
            }
            updateUrl = url;
            emit updateOffered();
            return;
        }
    }
    emit noUpdate();
}

void LoginController::downloadUpdate()
{
    // Never offered to a packaged program; should it still be asked for,
    // nothing lands in the user's folder.
    if (Installation(programPath).isPackaged()) {
        emit idle();
        return;
    }
    emit stepStarted(DownloadingUpdate);
    // Not sent (the file cannot be written): nothing would ever answer.
    if (!updateServer->downloadUpdate(updateUrl, QLatin1String(UpdaterFile))) {
        emit statusCleared();
        emit idle();
    }
}

void LoginController::downloadUpdateDone(QByteArray response, bool ok)
{
    Q_UNUSED(response)
    emit statusCleared();
    QFile updater{QLatin1String(UpdaterFile)};
    if (ok && updater.setPermissions(updater.permissions() | QFile::ExeOwner | QFile::ExeUser) &&
        QProcess::startDetached(QDir::current().filePath(QLatin1String(UpdaterFile)), {})) {
        // Not quit(): in Qt 6 that first asks every window to close, and
        // the login dialog answers a close with a question.
        QCoreApplication::exit(0);
        return;
    }
    // Whatever part of it arrived is never run.
    updater.remove();
    reconnecting = false;
    // Support needs to know which: the network, or this machine.
    emit refused(ok ? UpdaterNotStarted : UpdateFailed);
    emit idle();
}
