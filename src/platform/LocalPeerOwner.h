#pragma once

#include <QHostAddress>
#include <memory>
#include <optional>

class QAbstractSocket;

// Which local account holds the other end of a loopback connection that
// this process accepted. Any user of the machine can reach a loopback port,
// so a service meant for one user asks this before it says a word.
class LocalPeerOwner
{
public:
    virtual ~LocalPeerOwner() = default;

    // The uid owning the connecting socket, or none when it cannot be told
    // for sure (not found, or more than one candidate).
    virtual std::optional<uint> ownerOf(const QAbstractSocket &accepted) const = 0;

    // True only when the connecting socket is known to belong to the uid
    // this process runs as.
    bool isSameUser(const QAbstractSocket &accepted) const;

    // The implementation for this platform.
    static std::unique_ptr<LocalPeerOwner> create();
};
