#include "net/RequestServer.h"

#include "core/Deployment.h"
#include "platform/PrivateFile.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QTimer>
#include <unistd.h>

namespace {

// Values typed by the user (addresses, aliases, passwords) are percent-encoded
// so that "&", "+", "#", "%" or a space cannot end or add a query field. A
// server that decodes its query sees exactly the typed value. "@" is legal in
// a query and stays readable.
QString encode(const QString &value)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(value, "@"));
}

// The wire form of a record with each half encoded on its own, so that the
// separating comma stays the only structural one.
QString encode(const MailRedir &redir)
{
    return encode(redir.alias) + QLatin1Char(',') + encode(redir.forward);
}

QSslCertificate loadPinnedCertificate()
{
    QFile file(Deployment::current().serverCertPath);
    if (!file.open(QIODevice::ReadOnly))
        return QSslCertificate();
    return QSslCertificate(&file, QSsl::Pem);
}

// An answer that arrived is judged by its body alone, whatever its HTTP
// status; only a failure to get an answer at all is a transport failure.
bool answerArrived(const QNetworkReply *reply)
{
    if (reply->error() == QNetworkReply::NoError)
        return true;
    const bool hasStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
    return hasStatus && reply->error() >= QNetworkReply::ContentAccessDenied;
}

// Whether the answer to a download is the file asked for, not an error
// page that came with a status.
bool downloadAccepted(const QNetworkReply *reply)
{
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    return status.isValid() && status.toInt() >= 200 && status.toInt() < 300;
}

} // namespace

RequestServer::RequestServer(const QString &host, QObject *parent)
    : QObject(parent), host(host), http(new QNetworkAccessManager(this)), timer(new QTimer(this))
{
    qRegisterMetaType<MailRedir>("MailRedir");
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, &RequestServer::requestTimeout);
}

RequestServer::~RequestServer()
{
    if (reply) {
        reply->disconnect(this);
        reply->abort();
        delete reply;
    }
}

void RequestServer::setUser(const QString &user, const QString &password)
{
    this->user = user;
    this->password = password;
    loginQuery =
        QStringLiteral("login=") + encode(user) + QStringLiteral("&heslo=") + encode(password);
    apiPath = QStringLiteral("/server/api.php?") + loginQuery;
}

void RequestServer::setProxy(const QNetworkProxy &proxy)
{
    this->proxy = proxy;
}

void RequestServer::setTimeouts(int requestMs, int downloadIdleMs)
{
    requestTimeoutMs = requestMs;
    downloadIdleTimeoutMs = downloadIdleMs;
}

bool RequestServer::getConfig()
{
    return start(GetConfig, serviceUrl(true, QStringLiteral("/server/config.php?") + loginQuery),
                 requestTimeoutMs, proxy);
}

bool RequestServer::getContact()
{
    return startApi(GetContact, QStringLiteral("&akce=GetEmail"));
}

bool RequestServer::changeContact(const QString &email)
{
    return startApi(ChangeContact, QStringLiteral("&akce=SetEmail&email=") + encode(email));
}

bool RequestServer::changePassword(const QString &password)
{
    return startApi(ChangePassword, QStringLiteral("&akce=SetHeslo&noveheslo=") + encode(password));
}

bool RequestServer::getAliases()
{
    return startApi(GetAliases, QStringLiteral("&akce=GetAliases"));
}

bool RequestServer::addAlias(const MailRedir &redir, bool junk)
{
    if (isBusy())
        return false;
    pendingRedir = redir;
    return startApi(junk ? AddJunk : AddAlias,
                    QStringLiteral("&akce=AddAlias&email=") + encode(redir));
}

bool RequestServer::deleteAlias(const MailRedir &redir)
{
    if (isBusy())
        return false;
    pendingRedir = redir;
    return startApi(DeleteAlias, QStringLiteral("&akce=DeleteAlias&email=") + encode(redir));
}

bool RequestServer::changeAlias(const MailRedir &oldRedir, const MailRedir &newRedir)
{
    if (isBusy())
        return false;
    pendingRedir = oldRedir;
    pendingNewRedir = newRedir;
    return startApi(ChangeAlias, QStringLiteral("&akce=ChangeAlias&oldemail=") + encode(oldRedir) +
                                     QStringLiteral("&email=") + encode(newRedir));
}

bool RequestServer::checkUpdate()
{
    return start(CheckUpdate,
                 serviceUrl(true, QStringLiteral("/server/update.php?verze=") +
                                      QLatin1String(ClientVersion)),
                 requestTimeoutMs, proxy);
}

bool RequestServer::downloadUpdate(const QUrl &url, const QString &fileName)
{
    if (isBusy())
        return false;
    delete downloadFile;
    downloadFile = new QFile(fileName, this);
    // A program that will be run: a fresh file of ours, never whatever a
    // link at its place points to.
    const int fd = PrivateFile::createFresh(fileName);
    if (fd < 0 || !downloadFile->open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        if (fd >= 0)
            ::close(fd);
        delete downloadFile;
        downloadFile = nullptr;
        return false;
    }
    // An update is only ever fetched over an encrypted connection, judged
    // by the same pinned certificate as the service itself.
    QUrl secureUrl = url;
    secureUrl.setScheme(QStringLiteral("https"));
    secureUrl.setPort(url.port(443));
    return start(DownloadUpdate, secureUrl, downloadIdleTimeoutMs, proxy);
}

bool RequestServer::getReceiving()
{
    return startApi(GetReceiving, QStringLiteral("&akce=GetForwarding"));
}

bool RequestServer::setReceiving(bool state)
{
    if (isBusy())
        return false;
    pendingReceivingState = state;
    return startApi(SetReceiving, QStringLiteral("&akce=SetForwarding&forwarding=") +
                                      (state ? QLatin1Char('1') : QLatin1Char('0')));
}

bool RequestServer::startApi(Kind requestKind, const QString &query)
{
    // Account requests carry the password in a plain-HTTP query and are
    // made only while the tunnel is up: they go through the tunnel, never
    // to the user's proxy.
    return start(requestKind, serviceUrl(Deployment::current().apiOverHttps, apiPath + query),
                 requestTimeoutMs, QNetworkProxy(QNetworkProxy::NoProxy), true);
}

QUrl RequestServer::serviceUrl(bool https, const QString &pathAndQuery) const
{
    const Deployment &deployment = Deployment::current();
    const int queryStart = pathAndQuery.indexOf(QLatin1Char('?'));
    QUrl url;
    url.setScheme(https ? QStringLiteral("https") : QStringLiteral("http"));
    url.setHost(host);
    url.setPort(https ? deployment.serviceHttpsPort : deployment.serviceHttpPort);
    url.setPath(pathAndQuery.left(queryStart));
    if (queryStart >= 0)
        url.setQuery(pathAndQuery.mid(queryStart + 1), QUrl::StrictMode);
    return url;
}

bool RequestServer::start(Kind requestKind, const QUrl &url, int timeoutMs,
                          const QNetworkProxy &via, bool isAccountRequest)
{
    if (isBusy())
        return false;
    emit requestServerBusy();
    kind = requestKind;
    // An account request that follows the last one at once may go out on
    // that one's connection, if the service kept it open: it was checked
    // against the pin when it was made, and it runs through the tunnel
    // that was up then and still is. Every other request starts afresh. A
    // connection made before the tunnel came up (the configuration's)
    // never carries an account request, and nothing is kept for long.
    const bool chained = isAccountRequest && accountRequest && accountChain.isValid() &&
                         accountChain.elapsed() < ChainedRequestMs;
    accountRequest = isAccountRequest;
    accountChain.invalidate();

    QNetworkRequest request(url);
    // No redirect is followed and nothing is cached: the body of whatever
    // answered is what gets judged.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    // The pin is checked when the handshake reports errors, before the
    // request (with the user's password) is sent. With no authority
    // trusted, every certificate reports one, also a certificate this
    // machine's trust store would vouch for (an intercepting proxy's).
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setCaCertificates({});
    request.setSslConfiguration(tls);
    if (!chained)
        http->clearConnectionCache();
    http->setProxy(via);

    reply = http->get(request);
    connect(reply, &QNetworkReply::finished, this, &RequestServer::httpRequestDone);
    connect(reply, &QNetworkReply::sslErrors, this, &RequestServer::sslErr);
    if (kind == DownloadUpdate)
        connect(reply, &QNetworkReply::readyRead, this, &RequestServer::writeDownloadedData);
    connect(reply, &QNetworkReply::downloadProgress, this, &RequestServer::dataReadProgress);
    timer->start(timeoutMs);
    return true;
}

void RequestServer::writeDownloadedData()
{
    if (!reply || !downloadFile || downloadWriteFailed)
        return;
    // An error page is no updater: nothing of it reaches the file.
    if (!downloadAccepted(reply))
        return;
    const QByteArray data = reply->readAll();
    if (downloadFile->write(data) != data.size()) {
        // A full disk: stop now rather than fetch the rest into nowhere.
        downloadWriteFailed = true;
        timer->start(0);
        return;
    }
    // The limit is on silence, not on the whole download.
    timer->start(downloadIdleTimeoutMs);
}

void RequestServer::dataReadProgress(qint64 done, qint64 total)
{
    if (kind != DownloadUpdate) {
        const qint64 limit = kind == GetConfig ? MaxConfigBytes : MaxAnswerBytes;
        if ((done > limit || total > limit) && errorText.isEmpty()) {
            errorText = TooLargeText;
            timer->start(0); // ends the transfer outside this signal
        }
        return;
    }
    timer->start(downloadIdleTimeoutMs);
    emit updateProgress(int(done), int(total));
    if (total > 0 && done == total) {
        // Everything announced has arrived: end the transfer now rather than
        // wait for the server to close a kept-alive connection.
        downloadComplete = true;
        timer->start(0);
    }
}

void RequestServer::requestTimeout()
{
    if (!reply)
        return;
    timedOut = true;
    if (kind == DownloadUpdate)
        writeDownloadedData();
    // Completes the reply at once; httpRequestDone reports it.
    reply->abort();
}

void RequestServer::sslErr(const QList<QSslError> &errors)
{
    Q_UNUSED(errors) // the peer is judged by its certificate alone
    const QSslCertificate peer = reply->sslConfiguration().peerCertificate();
    const QSslCertificate pinned = loadPinnedCertificate();
    if (peer.isNull() || pinned.isNull())
        errorText = CertLoadText;
    else if (peer == pinned)
        reply->ignoreSslErrors();
    else
        errorText = CertMismatchText;
}

void RequestServer::httpRequestDone()
{
    QNetworkReply *finished = reply;
    if (!finished || sender() != finished)
        return;
    timer->stop();
    finished->disconnect(this);

    bool ok = answerArrived(finished);
    bool downloadSaved = false;
    if (kind == DownloadUpdate && downloadFile) {
        downloadSaved = downloadAccepted(finished) && !downloadWriteFailed;
        if (downloadSaved) {
            const QByteArray rest = finished->readAll();
            downloadSaved = downloadFile->write(rest) == rest.size() && downloadFile->flush();
        }
        downloadFile->close();
    }
    QByteArray response = finished->readAll().trimmed();
    reply = nullptr;
    finished->deleteLater(); // never inside its own signal

    if (timedOut) {
        // A complete download ended by ourselves is a success; anything
        // else stopped by the timer is a time-out.
        ok = downloadComplete;
        if (!downloadComplete)
            response = TimeoutText;
    }
    if (!errorText.isEmpty()) {
        response = errorText;
        ok = false;
    }
    // A download succeeds only as a whole file, saved, from a 2xx answer.
    if (kind == DownloadUpdate && !downloadSaved) {
        ok = false;
        if (downloadWriteFailed)
            response = SaveFailedText;
    }
    errorText.clear();
    timedOut = false;
    downloadComplete = false;
    downloadWriteFailed = false;

    if (ok && accountRequest)
        accountChain.start();
    emitDone(kind, response, ok);
    emit requestServerFree();
}

void RequestServer::emitDone(Kind doneKind, const QByteArray &response, bool ok)
{
    const MailRedir redir = std::exchange(pendingRedir, MailRedir());
    const MailRedir newRedir = std::exchange(pendingNewRedir, MailRedir());
    switch (doneKind) {
    case NoKind:
        break;
    case GetConfig:
        emit getConfigDone(response, ok);
        break;
    case GetContact:
        emit getContactDone(response, ok);
        break;
    case ChangeContact:
        emit changeContactDone(response, ok);
        break;
    case ChangePassword:
        emit changePasswordDone(response, ok);
        break;
    case GetAliases:
        emit getAliasesDone(response, ok);
        break;
    case AddAlias:
        emit addAliasDone(redir, response, ok);
        break;
    case DeleteAlias:
        emit deleteAliasDone(redir, response, ok);
        break;
    case ChangeAlias:
        emit changeAliasDone(redir, newRedir, response, ok);
        break;
    case AddJunk:
        emit addJunkDone(redir, response, ok);
        break;
    case CheckUpdate:
        emit checkUpdateDone(response, ok);
        break;
    case DownloadUpdate:
        emit downloadUpdateDone(response, ok);
        break;
    case GetReceiving:
        emit getReceivingDone(response, ok);
        break;
    case SetReceiving:
        emit setReceivingDone(pendingReceivingState, response, ok);
        break;
    }
}
