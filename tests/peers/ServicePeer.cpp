#include "ServicePeer.h"

#include "ChildProcess.h"
#include "LoopbackPorts.h"

#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QStringList>
#include <QTimer>

ServicePeer::ServicePeer()
{
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

ServicePeer::~ServicePeer()
{
    stop();
}

bool ServicePeer::start(const QStringList &extraArguments)
{
    const QString source = qEnvironmentVariable("QUILLNET_SOURCE_DIR");
    process.start(QStringLiteral("python3"),
                  QStringList{source + QStringLiteral("/tests/peers/service.py"),
                              QStringLiteral("--https-port"), QStringLiteral("0"),
                              QStringLiteral("--http-port"), QStringLiteral("0")} +
                      extraArguments);
    if (!process.waitForStarted(10000)) {
        error = QStringLiteral("cannot start python3: ") + process.errorString();
        return false;
    }
    static const QRegularExpression ready(QStringLiteral("^READY https=(\\d+) http=(\\d+)"));
    QByteArray line;
    while (!line.endsWith('\n')) {
        if (!process.waitForReadyRead(15000)) {
            error = QStringLiteral("the service did not report READY");
            return false;
        }
        line += process.readLine();
    }
    const QRegularExpressionMatch match = ready.match(QString::fromUtf8(line));
    if (!match.hasMatch()) {
        error = QStringLiteral("unexpected first line: ") + QString::fromUtf8(line);
        return false;
    }
    https = quint16(match.captured(1).toUInt());
    http = quint16(match.captured(2).toUInt());

    QFile ini(deploymentFile());
    if (!ini.open(QIODevice::WriteOnly)) {
        error = ini.errorString();
        return false;
    }
    // The local web filter and mail proxy on free ports too, so that a
    // client running on this machine does not stand in the way.
    ini.write(QStringLiteral("service_host = 127.0.0.1\n"
                             "service_https_port = %1\n"
                             "service_http_port = %2\n"
                             "api_scheme = https\n"
                             "web_filter_port = %3\n"
                             "mail_proxy_port = %4\n")
                  .arg(https)
                  .arg(http)
                  .arg(LoopbackPorts::unused())
                  .arg(LoopbackPorts::unused())
                  .toUtf8());
    return true;
}

void ServicePeer::stop()
{
    stopChildProcess(process);
}

QByteArray ServicePeer::control(const QString &pathAndQuery)
{
    QNetworkAccessManager manager;
    manager.setProxy(QNetworkProxy(QNetworkProxy::NoProxy));
    QNetworkReply *reply = manager.get(
        QNetworkRequest(QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(http).arg(pathAndQuery))));
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    const QByteArray body = reply->readAll();
    delete reply;
    return body;
}

QJsonArray ServicePeer::takeRequests()
{
    return QJsonDocument::fromJson(control(QStringLiteral("/_control/requests?clear=1"))).array();
}

QStringList ServicePeer::takeOperations()
{
    QStringList seen;
    for (const QJsonValue &request : takeRequests()) {
        const QJsonObject r = request.toObject();
        const QString akce =
            r.value(QStringLiteral("args")).toObject().value(QStringLiteral("akce")).toString();
        seen << (akce.isEmpty() ? r.value(QStringLiteral("route")).toString() : akce);
    }
    return seen;
}

QString ServicePeer::lastRequestTarget()
{
    const QJsonArray requests = takeRequests();
    return requests.isEmpty() ? QString()
                              : requests.last().toObject().value(QStringLiteral("path")).toString();
}
