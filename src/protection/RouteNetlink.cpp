#include "protection/RouteNetlink.h"

#include <QByteArray>
#include <arpa/inet.h>
#include <cstring>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace RouteNetlink {

QHostAddress address(const rtattr *attribute, int family)
{
    const unsigned size = family == AF_INET ? 4 : 16;
    if ((family != AF_INET && family != AF_INET6) || RTA_PAYLOAD(attribute) < size)
        return QHostAddress();
    if (family == AF_INET) {
        quint32 value;
        std::memcpy(&value, RTA_DATA(attribute), 4);
        return QHostAddress(ntohl(value));
    }
    return QHostAddress(static_cast<const quint8 *>(RTA_DATA(attribute)));
}

bool ask(const nlmsghdr &request, const std::function<void(const nlmsghdr &message)> &each)
{
    const int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (fd < 0)
        return false;
    const timeval wait{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    bool answered = false;
    if (::send(fd, &request, request.nlmsg_len, 0) >= 0) {
        // A dump of a busy machine's addresses fits a few pages at a time.
        alignas(nlmsghdr) char buffer[16384];
        for (bool more = true; more;) {
            ssize_t received = ::recv(fd, buffer, sizeof buffer, 0);
            if (received <= 0)
                break;
            for (auto *message = reinterpret_cast<const nlmsghdr *>(buffer);
                 NLMSG_OK(message, unsigned(received)); message = NLMSG_NEXT(message, received)) {
                if (message->nlmsg_type == NLMSG_DONE || message->nlmsg_type == NLMSG_ERROR) {
                    answered = message->nlmsg_type == NLMSG_DONE;
                    more = false;
                    break;
                }
                each(*message);
                if (!(message->nlmsg_flags & NLM_F_MULTI)) {
                    answered = true;
                    more = false;
                }
            }
        }
    }
    ::close(fd);
    return answered;
}

QString deviceName(int index)
{
    char name[IF_NAMESIZE] = {};
    return QString::fromLatin1(
        ::if_indextoname(unsigned(index), name) ? name : QByteArray::number(index).constData());
}

} // namespace RouteNetlink
