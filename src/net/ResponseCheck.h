#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

// How an answer of the service is judged. A trimmed body is either a status
// word, "1" (done; for a query: nothing on record) or "0" (refused), or data.
class ResponseCheck
{
    Q_DECLARE_TR_FUNCTIONS(ResponseCheck)

public:
    // Returns the error text to show, empty for success. A "0" body comes
    // back as "0" itself: what a refusal means depends on the operation, so
    // the caller puts its own words to it. With `anyData` any other body is
    // data; without it only "1" is success.
    static QString checkResponse(const QByteArray &response, bool ok, bool anyData);

    // For the contact and password answers: any answer that arrived counts.
    static QString checkAccountResponse(const QByteArray &response, bool ok);

private:
    static QString transportFailure(const QByteArray &response);
};
