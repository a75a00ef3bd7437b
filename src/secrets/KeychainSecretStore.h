#pragma once

#include "secrets/SecretStore.h"

// The freedesktop Secret Service (or whatever keyring QtKeychain finds on
// this desktop), every entry under the service name "Quillnet": another
// program sees them as `secret-tool lookup server Quillnet user <key>`.
class KeychainSecretStore : public SecretStore
{
    Q_OBJECT

public:
    static constexpr char Service[] = "Quillnet";

    using SecretStore::SecretStore;

    void read(const QString &key, QObject *context, Reply reply) override;
    void write(const QString &key, const QString &secret, QObject *context, Reply reply) override;
    void remove(const QString &key, QObject *context, Reply reply) override;
};
