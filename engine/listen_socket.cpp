// Resolving, binding and listening.
#include "engine/listen_socket.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

namespace bw {

bool splitListenAddress(const std::string& listen, std::string& host, int& port) {
  size_t colon = listen.rfind(':');
  if (colon == std::string::npos || colon == 0) return false;
  host = listen.substr(0, colon);
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  std::string digits = listen.substr(colon + 1);
  if (host.empty() || digits.empty() || digits.size() > 5 ||
      digits.find_first_not_of("0123456789") != std::string::npos)
    return false;
  port = std::stoi(digits);
  return port <= 65535;
}

FileDescriptor openListenSocket(const std::string& host, int port, int& boundPort, std::string& error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  int status = getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
  if (status != 0 || found == nullptr) {
    error = "cannot listen on " + host + ":" + service + ": " + gai_strerror(status);
    return FileDescriptor();
  }
  FileDescriptor socketFd(::socket(found->ai_family, found->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                                   found->ai_protocol));
  int failure = 0;
  const int on = 1;
  if (!socketFd.valid() || ::setsockopt(socketFd.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
      ::bind(socketFd.get(), found->ai_addr, found->ai_addrlen) != 0 ||
      ::listen(socketFd.get(), kListenBacklog) != 0)
    failure = errno;
  freeaddrinfo(found);
  if (failure != 0) {
    error = "cannot listen on " + host + ":" + service + ": " +
            (failure == EADDRINUSE ? std::string("address already in use") : std::strerror(failure));
    return FileDescriptor();
  }
  sockaddr_storage bound{};
  socklen_t length = sizeof bound;
  ::getsockname(socketFd.get(), reinterpret_cast<sockaddr*>(&bound), &length);
  boundPort = bound.ss_family == AF_INET6 ? ntohs(reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port)
                                          : ntohs(reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
  return socketFd;
}

}  // namespace bw
