// The server's listening socket, opened before the HTTP layer starts so that
// a busy address is an error the command reports, not a second server that
// shares the port: SO_REUSEADDR only (a restart need not wait for old
// connections to time out), never SO_REUSEPORT.
#ifndef BRINDLE_ENGINE_LISTEN_SOCKET_H
#define BRINDLE_ENGINE_LISTEN_SOCKET_H

#include <string>

#include "engine/http_exchange.h"

namespace bw {

// Backlog of connections the kernel holds until the server accepts them.
constexpr int kListenBacklog = 1024;

// Splits "HOST:PORT" ("[::1]:8080" for IPv6); false when it is not that.
bool splitListenAddress(const std::string& listen, std::string& host, int& port);

// A non-blocking socket listening on host:port (port 0: one the system
// picks), with the port it got; invalid with a message in `error`, which
// ends in "address already in use" when another socket holds the address.
FileDescriptor openListenSocket(const std::string& host, int port, int& boundPort, std::string& error);

}  // namespace bw

#endif
