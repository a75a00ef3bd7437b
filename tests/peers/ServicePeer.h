#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// The local test service (service.py) run as a child process on ephemeral
// loopback ports, plus the deployment override file that aims the client at
// it. Its control endpoints make it stall, close, answer "0" or garbage,
// or present another certificate.
class ServicePeer
{
public:
    ServicePeer();
    ~ServicePeer();

    // Starts the service and writes the override file; false with a reason in
    // errorString() when the service does not come up.
    bool start(const QStringList &extraArguments = {});
    void stop();

    quint16 httpsPort() const { return https; }
    quint16 httpPort() const { return http; }
    QString deploymentFile() const { return dir.filePath(QStringLiteral("deployment.ini")); }
    QString errorString() const { return error; }

    // GET on a control endpoint ("/_control/..."), synchronously; the body.
    QByteArray control(const QString &pathAndQuery);
    // The requests the service received so far, oldest first (and cleared).
    QJsonArray takeRequests();
    // The same as the operations asked for: the api.php operation name
    // ("akce"), or the path of any other request.
    QStringList takeOperations();
    // The raw path and query of the last request the service received.
    QString lastRequestTarget();

private:
    QProcess process;
    QTemporaryDir dir;
    quint16 https = 0;
    quint16 http = 0;
    QString error;
};
