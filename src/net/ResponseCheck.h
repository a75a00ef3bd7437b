#pragma once

#include <QByteArray>

// How an answer of the service is judged. A trimmed body is either a status
// word, "1" (done; for a query: nothing on record) or "0" (refused), or data.
// The verdict is a value: the words for it are chosen where it is shown.
class ResponseCheck
{
public:
    enum class Verdict
    {
        Ok,
        // "0": what a refusal means depends on the operation.
        Refused,
        // A body other than "1" where only a status word is due.
        Invalid,
        // The transport failed; the request client's reason tells which way.
        TimeOut,
        CertificateNotLoadable,
        CertificateMismatch,
        Transport
    };

    // With `anyData` any body other than "0" is data; without it only "1"
    // is success.
    static Verdict judge(const QByteArray &response, bool ok, bool anyData);

    // For the contact and password answers: "0" is a refusal (for the
    // contact query: nothing on record); any other answer that arrived
    // counts.
    static Verdict judgeAccount(const QByteArray &response, bool ok);

    // The kind of a transport failure, from the reason the request client
    // put in place of the body.
    static Verdict transportFailure(const QByteArray &response);
};
