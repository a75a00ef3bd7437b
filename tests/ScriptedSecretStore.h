#pragma once

#include "secrets/SecretStore.h"

#include <QMap>
#include <QPointer>
#include <QTimer>

// A keyring in memory that answers from the event loop, as the real one
// does, and that goes away on command: unavailable from the start, or after
// a number of writes (a keyring failing half-way).
class ScriptedSecretStore : public SecretStore
{
public:
    using SecretStore::SecretStore;

    QMap<QString, QString> entries;
    // Writes that still succeed; below 0 every one does.
    int writesLeft = -1;

    void read(const QString &key, QObject *context, Reply reply) override
    {
        Answer answer;
        if (available()) {
            answer.status = entries.contains(key) ? Answer::Done : Answer::Missing;
            answer.secret = entries.value(key);
        }
        answerLater(answer, context, std::move(reply));
    }

    void write(const QString &key, const QString &secret, QObject *context, Reply reply) override
    {
        Answer answer;
        if (available() && writesLeft != 0) {
            writesLeft -= writesLeft > 0;
            entries.insert(key, secret);
            answer.status = Answer::Done;
        } else {
            writesLeft = 0;
        }
        answerLater(answer, context, std::move(reply));
    }

    void remove(const QString &key, QObject *context, Reply reply) override
    {
        Answer answer;
        if (available()) {
            entries.remove(key);
            answer.status = Answer::Done;
        }
        answerLater(answer, context, std::move(reply));
    }

private:
    bool available() const { return writesLeft != 0; }

    static void answerLater(Answer answer, QObject *context, Reply reply)
    {
        if (answer.status == Answer::Unavailable)
            answer.detail = QStringLiteral("the scripted keyring is away");
        QTimer::singleShot(0, context, [answer, reply = std::move(reply)] { reply(answer); });
    }
};
