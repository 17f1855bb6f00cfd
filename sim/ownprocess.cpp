#include "sim/ownprocess.h"

#include <QtGlobal>

#ifndef Q_OS_WIN
#include <arpa/inet.h>
#include <cstdlib>
#include <dirent.h>
#include <netinet/in.h>
#include <optional>
#include <sys/socket.h>
#endif

namespace sim {

#ifdef Q_OS_WIN

bool connectedFromThisProcess(const QHostAddress &, quint16, const QHostAddress &, quint16)
{
    return true;
}

#else

namespace {

struct Endpoint
{
    QHostAddress address;
    quint16 port = 0;

    bool is(const QHostAddress &a, quint16 p) const
    {
        return port == p && address.isEqual(a, QHostAddress::TolerantConversion);
    }
};

// The local (getsockname) or remote (getpeername) end of descriptor `fd`, when
// it is an internet socket.
std::optional<Endpoint> endpointOf(int fd, int (*get)(int, sockaddr *, socklen_t *))
{
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (get(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        return std::nullopt;
    const auto *generic = reinterpret_cast<const sockaddr *>(&address);
    if (address.ss_family == AF_INET)
        return Endpoint{QHostAddress(generic),
                        ntohs(reinterpret_cast<const sockaddr_in *>(&address)->sin_port)};
    if (address.ss_family == AF_INET6)
        return Endpoint{QHostAddress(generic),
                        ntohs(reinterpret_cast<const sockaddr_in6 *>(&address)->sin6_port)};
    return std::nullopt;
}

} // namespace

bool connectedFromThisProcess(const QHostAddress &peer, quint16 peerPort, const QHostAddress &server,
                              quint16 serverPort)
{
#ifdef Q_OS_LINUX
    DIR *descriptors = opendir("/proc/self/fd");
#else
    DIR *descriptors = opendir("/dev/fd");
#endif
    if (!descriptors)
        return false;
    bool found = false;
    while (const dirent *entry = readdir(descriptors)) {
        char *end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || fd == dirfd(descriptors))
            continue;
        const std::optional<Endpoint> local = endpointOf(static_cast<int>(fd), getsockname);
        if (!local || !local->is(peer, peerPort))
            continue;
        const std::optional<Endpoint> remote = endpointOf(static_cast<int>(fd), getpeername);
        if (remote && remote->is(server, serverPort)) {
            found = true;
            break;
        }
    }
    closedir(descriptors);
    return found;
}

#endif

} // namespace sim
