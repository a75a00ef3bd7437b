#pragma once

#include "net/MailRedir.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QNetworkProxy>
#include <QObject>
#include <QSslError>
#include <QString>
#include <QUrl>

class QFile;
class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

// The client of the service's web server. It sends one request at a time (a
// second one is refused, never queued), limits how long an answer may take,
// accepts an encrypted peer only with the certificate compiled into the
// program, and reports every request through the signal named after it,
// with the trimmed answer body and whether the transport succeeded.
class RequestServer : public QObject
{
    Q_OBJECT

public:
    // Texts that replace the body when the transport failed.
    static constexpr char TimeoutText[] = "Connection timeout.";
    static constexpr char CertLoadText[] = "Unable to load server certificate.";
    static constexpr char CertMismatchText[] = "Unable to autenticate server certificate.";
    static constexpr char SaveFailedText[] = "Unable to save the update.";
    static constexpr char TooLargeText[] = "The server's answer is too large.";

    // No answer of the service comes near these; one that passes them is
    // cut off rather than kept in memory.
    static constexpr qint64 MaxAnswerBytes = 64 * 1024;
    static constexpr qint64 MaxConfigBytes = 1024 * 1024;

    static constexpr int RequestTimeoutMs = 10000;
    static constexpr int DownloadIdleTimeoutMs = 30000;

    // The version this client reports to the update check.
    static constexpr char ClientVersion[] = "2002";

    RequestServer(const QString &host, QObject *parent);
    ~RequestServer() override;

    void setUser(const QString &user, const QString &password);
    // For the configuration request, the update check and the download;
    // account requests never go through a proxy.
    void setProxy(const QNetworkProxy &proxy);
    // Other limits than RequestTimeoutMs and DownloadIdleTimeoutMs, in
    // milliseconds, for requests started from now on (tests).
    void setTimeouts(int requestMs, int downloadIdleMs);

    bool isBusy() const { return reply != nullptr; }

    // Each returns false when a request is pending; then nothing is sent and
    // no signal follows.
    bool getConfig();
    bool getContact();
    bool changeContact(const QString &email);
    bool changePassword(const QString &password);
    bool getAliases();
    bool addAlias(const MailRedir &redir, bool junk);
    bool deleteAlias(const MailRedir &redir);
    bool changeAlias(const MailRedir &oldRedir, const MailRedir &newRedir);
    bool checkUpdate();
    // Also false when `fileName` cannot be opened for writing. Reports ok
    // only when a 2xx answer was saved whole; an error page is not saved.
    bool downloadUpdate(const QUrl &url, const QString &fileName);
    bool getReceiving();
    bool setReceiving(bool state);

signals:
    void getConfigDone(QByteArray response, bool ok);
    void getContactDone(QByteArray response, bool ok);
    void changeContactDone(QByteArray response, bool ok);
    void changePasswordDone(QByteArray response, bool ok);
    void getAliasesDone(QByteArray response, bool ok);
    void addJunkDone(MailRedir redir, QByteArray response, bool ok);
    void addAliasDone(MailRedir redir, QByteArray response, bool ok);
    void deleteAliasDone(MailRedir redir, QByteArray response, bool ok);
    void changeAliasDone(MailRedir oldRedir, MailRedir newRedir, QByteArray response, bool ok);
    void checkUpdateDone(QByteArray response, bool ok);
    void downloadUpdateDone(QByteArray response, bool ok);
    void getReceivingDone(QByteArray response, bool ok);
    void setReceivingDone(bool state, QByteArray response, bool ok);
    void requestServerBusy();
    void requestServerFree();
    void updateProgress(int done, int total);

private slots:
    void httpRequestDone();
    void requestTimeout();
    void sslErr(const QList<QSslError> &errors);
    void dataReadProgress(qint64 done, qint64 total);

private:
    // Request kinds; each selects the completion signal.
    enum Kind
    {
        NoKind = 0,
        GetConfig = 1,
        GetContact = 2,
        ChangeContact = 3,
        ChangePassword = 4,
        GetAliases = 5,
        AddAlias = 6,
        DeleteAlias = 7,
        ChangeAlias = 8,
        AddJunk = 9,
        CheckUpdate = 10,
        DownloadUpdate = 11,
        GetReceiving = 12,
        SetReceiving = 13
    };

    // How soon an account request must follow the last one to go out on
    // the connection that one used: the chain after a login, a page's
    // reload, never a request the user makes minutes later.
    static constexpr int ChainedRequestMs = 1000;

    bool startApi(Kind requestKind, const QString &query);
    bool start(Kind requestKind, const QUrl &url, int timeoutMs, const QNetworkProxy &via,
               bool isAccountRequest = false);
    QUrl serviceUrl(bool https, const QString &pathAndQuery) const;
    void writeDownloadedData();
    void emitDone(Kind doneKind, const QByteArray &response, bool ok);

    QString host;
    QString loginQuery;
    QString apiPath;
    QString user;
    QString password;
    // For the requests made before the tunnel is up.
    QNetworkProxy proxy{QNetworkProxy::NoProxy};
    Kind kind = NoKind;
    MailRedir pendingRedir;
    MailRedir pendingNewRedir;
    bool pendingReceivingState = false;
    QNetworkAccessManager *http;
    QNetworkReply *reply = nullptr;
    QTimer *timer;
    int requestTimeoutMs = RequestTimeoutMs;
    int downloadIdleTimeoutMs = DownloadIdleTimeoutMs;
    bool timedOut = false;
    bool downloadComplete = false;
    bool downloadWriteFailed = false;
    bool accountRequest = false;
    // Since the last account request ended well; invalid after any other.
    QElapsedTimer accountChain;
    QByteArray errorText;
    QFile *downloadFile = nullptr;

    Q_DISABLE_COPY_MOVE(RequestServer)
};
