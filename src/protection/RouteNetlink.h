#pragma once

#include <QHostAddress>
#include <functional>

struct nlmsghdr;
struct rtattr;

// Questions to the kernel's routing tables over rtnetlink, answered at once:
// how an address is reached, which addresses the links have.
namespace RouteNetlink {

// The address an attribute carries for `family` (AF_INET or AF_INET6); null
// when the attribute is too short for it.
QHostAddress address(const rtattr *attribute, int family);

// Sends `request` and hands every message of the answer to `each`: the one
// reply, or all parts of a dump. False when the kernel could not be asked or
// did not answer within a second (what came until then has been handed on).
bool ask(const nlmsghdr &request, const std::function<void(const nlmsghdr &message)> &each);

// The name of the link with this index, or the index as text once it has
// gone.
QString deviceName(int index);

} // namespace RouteNetlink
