#pragma once

#include "platform/LocalPeerOwner.h"

#include <QString>

// Linux: the connecting socket is the entry of /proc/net/tcp or tcp6 whose
// local end is the accepted socket's peer and whose remote end is the
// accepted socket's local end; its uid column names the owner.
class ProcNetPeerOwner : public LocalPeerOwner
{
public:
    // `procNet`: the folder holding the tcp and tcp6 tables.
    explicit ProcNetPeerOwner(const QString &procNet = QStringLiteral("/proc/net"));

    std::optional<uint> ownerOf(const QAbstractSocket &accepted) const override;

private:
    QString procNet;
};
