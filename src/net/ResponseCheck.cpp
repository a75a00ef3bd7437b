#include "net/ResponseCheck.h"

#include "net/RequestServer.h"

using Verdict = ResponseCheck::Verdict;

Verdict ResponseCheck::judge(const QByteArray &response, bool ok, bool anyData)
{
    if (!ok)
        return transportFailure(response);
    if (response == "0")
        return Verdict::Refused;
    if (anyData || response == "1")
        return Verdict::Ok;
    return Verdict::Invalid;
}

Verdict ResponseCheck::judgeAccount(const QByteArray &response, bool ok)
{
    if (!ok)
        return transportFailure(response);
    return response == "0" ? Verdict::Refused : Verdict::Ok;
}

Verdict ResponseCheck::transportFailure(const QByteArray &response)
{
    // The request client reports its own time-out as "Connection timeout.";
    // "timeout" is the older form. Both are a time-out.
    if (response == "timeout" || response == RequestServer::TimeoutText)
        return Verdict::TimeOut;
    if (response == RequestServer::CertLoadText)
        return Verdict::CertificateNotLoadable;
    if (response == RequestServer::CertMismatchText)
        return Verdict::CertificateMismatch;
    return Verdict::Transport;
}
