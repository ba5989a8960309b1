#include "ListeningAddresses.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdlib>

namespace {

QString shown(const sockaddr_storage &address, int fd)
{
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET) {
        const auto *v4 = reinterpret_cast<const sockaddr_in *>(&address);
        ::inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text);
        return QStringLiteral("%1:%2").arg(QLatin1String(text)).arg(ntohs(v4->sin_port));
    }
    const auto *v6 = reinterpret_cast<const sockaddr_in6 *>(&address);
    // gRPC binds IPv4 addresses on IPv6 sockets, mapped: they serve IPv4 alone.
    if (IN6_IS_ADDR_V4MAPPED(&v6->sin6_addr)) {
        ::inet_ntop(AF_INET, &v6->sin6_addr.s6_addr[12], text, sizeof text);
        return QStringLiteral("%1:%2").arg(QLatin1String(text)).arg(ntohs(v6->sin6_port));
    }
    ::inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
    QString line = QStringLiteral("[%1]:%2").arg(QLatin1String(text)).arg(ntohs(v6->sin6_port));
    // The IPv6 wildcard takes IPv4 as well unless the socket says it is IPv6 only.
    int v6only = 1;
    socklen_t size = sizeof v6only;
    if (IN6_IS_ADDR_UNSPECIFIED(&v6->sin6_addr) &&
        ::getsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &v6only, &size) == 0 && v6only == 0)
        line += QStringLiteral(" (IPv6 and IPv4)");
    return line;
}

} // namespace

QStringList ListeningAddresses::at(quint16 port)
{
    QStringList found;
    DIR *folder = ::opendir("/proc/self/fd");
    if (folder == nullptr)
        return found;
    const int own = ::dirfd(folder);
    int seen = 0;
    while (const dirent *entry = ::readdir(folder)) {
        if (++seen > MaxDescriptors)
            break;
        char *end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || fd == own)
            continue;
        int listening = 0;
        int type = 0;
        socklen_t size = sizeof listening;
        socklen_t typeSize = sizeof type;
        sockaddr_storage address{};
        socklen_t addressSize = sizeof address;
        if (::getsockopt(int(fd), SOL_SOCKET, SO_ACCEPTCONN, &listening, &size) != 0 ||
            listening == 0 || ::getsockopt(int(fd), SOL_SOCKET, SO_TYPE, &type, &typeSize) != 0 ||
            type != SOCK_STREAM ||
            ::getsockname(int(fd), reinterpret_cast<sockaddr *>(&address), &addressSize) != 0)
            continue;
        quint16 bound = 0;
        if (address.ss_family == AF_INET)
            bound = ntohs(reinterpret_cast<const sockaddr_in *>(&address)->sin_port);
        else if (address.ss_family == AF_INET6)
            bound = ntohs(reinterpret_cast<const sockaddr_in6 *>(&address)->sin6_port);
        if (bound != 0 && bound == port) {
            const QString line = shown(address, int(fd));
            if (!found.contains(line))
                found << line;
        }
    }
    ::closedir(folder);
    return found;
}

bool ListeningAddresses::loopback(const QString &host)
{
    QString h = host;
    // An address as at() writes it: the host without its brackets and port.
    if (h.startsWith(QLatin1Char('[')))
        h = h.mid(1, h.indexOf(QLatin1Char(']')) - 1);
    else if (h.count(QLatin1Char(':')) == 1)
        h = h.left(h.indexOf(QLatin1Char(':')));
    if (h == QLatin1String("localhost"))
        return true;
    const QByteArray text = h.toLatin1();
    in_addr v4{};
    if (::inet_pton(AF_INET, text.constData(), &v4) == 1)
        return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    if (::inet_pton(AF_INET6, text.constData(), &v6) != 1)
        return false;
    if (IN6_IS_ADDR_LOOPBACK(&v6))
        return true;
    return IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127;
}
