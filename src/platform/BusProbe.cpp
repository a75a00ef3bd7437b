#include "platform/BusProbe.h"

#include <QDeadlineTimer>
#include <QScopeGuard>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

// Where the bus library looks for the system bus when nothing says.
const char DefaultSystemBus[] = "unix:path=/var/run/dbus/system_bus_socket";
// A path that can never exist, below a file: connecting fails at once.
const char SetAsideBus[] = "unix:path=/dev/null/quillnet-bus-set-aside";

bool socketAddress(const QByteArray &address, sockaddr_un *socket, socklen_t *length)
{
    if (!address.startsWith("unix:"))
        return false;
    QByteArray path;
    bool abstract = false;
    for (const QByteArray &pair : address.mid(5).split(',')) {
        const int equals = pair.indexOf('=');
        const QByteArray key = pair.left(equals);
        if (equals > 0 && (key == "path" || key == "abstract")) {
            path = QByteArray::fromPercentEncoding(pair.mid(equals + 1));
            abstract = key == "abstract";
        }
    }
    // An abstract name starts with a zero byte; a path ends with one.
    const size_t size = size_t(path.size()) + 1;
    if (path.isEmpty() || size > sizeof socket->sun_path)
        return false;
    std::memset(socket, 0, sizeof *socket);
    socket->sun_family = AF_UNIX;
    std::memcpy(socket->sun_path + (abstract ? 1 : 0), path.constData(), size_t(path.size()));
    *length = socklen_t(offsetof(sockaddr_un, sun_path) + size);
    return true;
}

bool waitFor(int fd, short events, const QDeadlineTimer &deadline)
{
    pollfd watched{fd, events, 0};
    for (;;) {
        const int ready = ::poll(&watched, 1, int(deadline.remainingTime()));
        if (ready > 0)
            return true;
        if (ready == 0 || errno != EINTR)
            return false;
    }
}

} // namespace

BusProbe::Result BusProbe::ask(const QByteArray &addressList, int timeoutMs)
{
    sockaddr_un address;
    socklen_t length = 0;
    if (!socketAddress(addressList.split(';').value(0).trimmed(), &address, &length))
        return NotAsked;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return NotAsked;
    const auto closeSocket = qScopeGuard([fd] { ::close(fd); });
    const QDeadlineTimer deadline(timeoutMs);
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), length) != 0) {
        // A full backlog: the daemon takes no connections now.
        if (errno == EAGAIN)
            return Silent;
        if (errno != EINPROGRESS)
            return Unreachable;
        if (!waitFor(fd, POLLOUT, deadline))
            return Silent;
    }
    // A zero byte, then the request to be known by this process's user.
    const QByteArray request =
        QByteArray(1, '\0') + "AUTH EXTERNAL " + QByteArray::number(::getuid()).toHex() + "\r\n";
    if (::send(fd, request.constData(), size_t(request.size()), MSG_NOSIGNAL) != request.size())
        return Unreachable;
    if (!waitFor(fd, POLLIN, deadline))
        return Silent;
    char answer[64];
    // Any answer, a refusal included, shows a daemon at work; a hang-up
    // makes the library give up at once.
    return ::recv(fd, answer, sizeof answer, 0) > 0 ? Answered : Unreachable;
}

QStringList BusProbe::setAsideSilentBuses(int timeoutMs)
{
    struct Bus
    {
        const char *variable;
        const char *name;
        QByteArray address;
        Result result = NotAsked;
    };
    Bus buses[] = {{"DBUS_SESSION_BUS_ADDRESS", "session", qgetenv("DBUS_SESSION_BUS_ADDRESS")},
                   {"DBUS_SYSTEM_BUS_ADDRESS", "system", qgetenv("DBUS_SYSTEM_BUS_ADDRESS")}};
    if (buses[1].address.isEmpty())
        buses[1].address = DefaultSystemBus;
    // Both at once: two hung daemons cost one time limit.
    std::thread session([&] { buses[0].result = ask(buses[0].address, timeoutMs); });
    buses[1].result = ask(buses[1].address, timeoutMs);
    session.join();

    QStringList notes;
    for (const Bus &bus : buses) {
        if (bus.result != Silent)
            continue;
        qputenv(bus.variable, SetAsideBus);
        notes << QStringLiteral("quillnet: the %1 bus does not answer; this run goes without it")
                     .arg(QLatin1String(bus.name));
    }
    return notes;
}
