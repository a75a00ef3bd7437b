#include "net/ResponseCheck.h"

#include "net/RequestServer.h"

QString ResponseCheck::checkResponse(const QByteArray &response, bool ok, bool anyData)
{
    if (!ok)
        return transportFailure(response);
    if (response == "0")
        return QStringLiteral("0");
    if (anyData || response == "1")
        return QString();
    return tr("Invalid server response.");
}

QString ResponseCheck::checkAccountResponse(const QByteArray &response, bool ok)
{
    return ok ? QString() : transportFailure(response);
}

QString ResponseCheck::transportFailure(const QByteArray &response)
{
    // The request client reports its own time-out as "Connection timeout.";
    // "timeout" is the older form. Both are a time-out to the user.
    if (response == "timeout" || response == RequestServer::TimeoutText)
        return tr("Server response timeout.");
    return tr("Unknown server error occurred.");
}
