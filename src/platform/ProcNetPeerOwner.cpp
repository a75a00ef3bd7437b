#include "platform/ProcNetPeerOwner.h"

#include <QAbstractSocket>
#include <QFile>
#include <QList>
#include <cstring>

namespace {

// Socket states in the table's "st" column that no longer stand for a live
// socket of its owner: the kernel keeps them under uid 0.
constexpr int TimeWaitState = 0x06;
constexpr int ListenState = 0x0A;

// One "ADDRESS:PORT" field: the address is the kernel's in-memory bytes,
// printed as 32-bit words in host order.
bool parseEnd(const QByteArray &field, QHostAddress *address, quint16 *port)
{
    const int colon = field.indexOf(':');
    const QByteArray hex = field.left(colon);
    if (colon < 0 || (hex.size() != 8 && hex.size() != 32))
        return false;
    bool ok = false;
    *port = field.mid(colon + 1).toUShort(&ok, 16);
    if (!ok)
        return false;
    quint8 bytes[16];
    for (int word = 0; word < hex.size() / 8; ++word) {
        const quint32 value = hex.mid(word * 8, 8).toUInt(&ok, 16);
        if (!ok)
            return false;
        std::memcpy(bytes + word * 4, &value, 4);
    }
    if (hex.size() == 8) {
        quint32 ipv4 = 0;
        for (int i = 0; i < 4; ++i)
            ipv4 = (ipv4 << 8) | bytes[i];
        address->setAddress(ipv4);
    } else {
        address->setAddress(bytes);
    }
    return true;
}

bool sameAddress(const QHostAddress &a, const QHostAddress &b)
{
    return a.isEqual(b, QHostAddress::ConvertV4MappedToIPv4);
}

} // namespace

ProcNetPeerOwner::ProcNetPeerOwner(const QString &procNet) : procNet(procNet) {}

std::optional<uint> ProcNetPeerOwner::ownerOf(const QAbstractSocket &accepted) const
{
    const QHostAddress peer = accepted.peerAddress();
    const QHostAddress local = accepted.localAddress();
    QList<uint> owners;
    for (const char *table : {"tcp", "tcp6"}) {
        QFile file(procNet + QLatin1Char('/') + QLatin1String(table));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        file.readLine(); // column names
        while (!file.atEnd()) {
            // sl local rem st queues timer retransmits uid ...
            const QList<QByteArray> columns = file.readLine().simplified().split(' ');
            if (columns.size() < 8)
                continue;
            QHostAddress from, to;
            quint16 fromPort = 0, toPort = 0;
            if (!parseEnd(columns.at(1), &from, &fromPort) ||
                !parseEnd(columns.at(2), &to, &toPort) || fromPort != accepted.peerPort() ||
                toPort != accepted.localPort() || !sameAddress(from, peer) ||
                !sameAddress(to, local))
                continue;
            bool stateOk = false, uidOk = false;
            const int state = columns.at(3).toInt(&stateOk, 16);
            const uint uid = columns.at(7).toUInt(&uidOk);
            if (stateOk && uidOk && state != TimeWaitState && state != ListenState)
                owners.append(uid);
        }
    }
    if (owners.isEmpty() || owners.count(owners.first()) != owners.size())
        return std::nullopt;
    return owners.first();
}
