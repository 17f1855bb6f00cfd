// Whether a loopback connection came from this very process: the built-in
// simulator holds what the user loaded into it and must answer the monitor
// alone, while any local user could reach its port.
#pragma once

#include <QHostAddress>

namespace sim {

// True when one of this process's own sockets is the other end of the
// connection that `server` (our listening address and port) accepted from
// `peer`: its own address is the peer's, and it is connected to us. The
// client's socket exists and is bound before its first packet leaves, so the
// answer holds from the moment the connection can be accepted.
//
// POSIX only: the process's descriptors are listed in /proc/self/fd (Linux)
// or /dev/fd. On Windows, where no such list exists, the check is not made
// and every loopback client is accepted, as the stand-alone simulator
// accepts it.
bool connectedFromThisProcess(const QHostAddress &peer, quint16 peerPort, const QHostAddress &server,
                              quint16 serverPort);

} // namespace sim
