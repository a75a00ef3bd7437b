#include "secrets/KeychainSecretStore.h"

#include <qt6keychain/keychain.h>

namespace {

SecretStore::Answer answerOf(QKeychain::Job *job, bool removing)
{
    SecretStore::Answer answer;
    switch (job->error()) {
    case QKeychain::NoError:
        answer.status = SecretStore::Answer::Done;
        if (auto *read = qobject_cast<QKeychain::ReadPasswordJob *>(job))
            answer.secret = read->textData();
        break;
    case QKeychain::EntryNotFound:
        answer.status = removing ? SecretStore::Answer::Done : SecretStore::Answer::Missing;
        break;
    default:
        answer.status = SecretStore::Answer::Unavailable;
        answer.detail = job->errorString();
        break;
    }
    return answer;
}

// The job deletes itself once it has finished and never before: the
// keyring library calls back into it, so it must outlive any caller.
void run(QKeychain::Job *job, const QString &key, QObject *context, SecretStore::Reply reply,
         bool removing = false)
{
    job->setAutoDelete(true);
    job->setKey(key);
    QObject::connect(job, &QKeychain::Job::finished, context,
                     [reply = std::move(reply), removing](QKeychain::Job *finished) {
                         reply(answerOf(finished, removing));
                     });
    job->start();
}

QString service()
{
    return QLatin1String(KeychainSecretStore::Service);
}

} // namespace

void KeychainSecretStore::read(const QString &key, QObject *context, Reply reply)
{
    run(new QKeychain::ReadPasswordJob(service()), key, context, std::move(reply));
}

void KeychainSecretStore::write(const QString &key, const QString &secret, QObject *context,
                                Reply reply)
{
    auto *job = new QKeychain::WritePasswordJob(service());
    job->setTextData(secret);
    run(job, key, context, std::move(reply));
}

void KeychainSecretStore::remove(const QString &key, QObject *context, Reply reply)
{
    run(new QKeychain::DeletePasswordJob(service()), key, context, std::move(reply), true);
}
