#include "platform/LocalPeerOwner.h"

#include "platform/ProcNetPeerOwner.h"

#include <unistd.h>

bool LocalPeerOwner::isSameUser(const QAbstractSocket &accepted) const
{
    const std::optional<uint> owner = ownerOf(accepted);
    return owner && *owner == uint(geteuid());
}

std::unique_ptr<LocalPeerOwner> LocalPeerOwner::create()
{
    return std::make_unique<ProcNetPeerOwner>();
}
