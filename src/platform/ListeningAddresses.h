#pragma once

#include <QString>
#include <QStringList>

// The TCP addresses this process listens on at a port, read from its own sockets: what was
// actually bound, whatever name or wildcard was asked for (a name may give IPv4 and IPv6, a
// wildcard may take IPv4 on an IPv6 socket).
class ListeningAddresses
{
public:
    // Beyond this many descriptors the rest are not looked at.
    static constexpr int MaxDescriptors = 4096;

    // "127.0.0.1:50052", "[::1]:50052", "[::]:50052 (IPv6 and IPv4)", in the order found.
    static QStringList at(quint16 port);
    // Whether text (an address as at() gives it, or a host) is a loopback address: 127.0.0.0/8,
    // ::1 or an IPv4 loopback mapped into IPv6. "localhost" counts; other names do not, since
    // what they resolve to may change.
    static bool loopback(const QString &host);
};
