#pragma once

#include <QObject>
#include <QString>
#include <functional>

// The desktop's keyring as the client needs it: one secret per key, read,
// written and removed. Every call ends in exactly one answer, always from
// the event loop (never from inside the call), and only while `context`
// lives; nothing waits on another process meanwhile. Answers come in the
// order of the calls.
class SecretStore : public QObject
{
    Q_OBJECT

public:
    struct Answer
    {
        enum Status
        {
            Done,
            // A read found no such secret.
            Missing,
            // No keyring on this desktop, a locked one the user did not
            // open, a refusal: `detail` says which, for one line on stderr.
            Unavailable
        };
        Status status = Unavailable;
        // What a read found.
        QString secret;
        QString detail;
    };
    using Reply = std::function<void(const Answer &)>;

    using QObject::QObject;

    virtual void read(const QString &key, QObject *context, Reply reply) = 0;
    virtual void write(const QString &key, const QString &secret, QObject *context,
                       Reply reply) = 0;
    // Removing a secret that is not there is done, not missing.
    virtual void remove(const QString &key, QObject *context, Reply reply) = 0;
};
