// A small HTTP/1.1 client for the server tests: raw bytes out, the answer
// read until the server closes, so that a test sees exactly what went over
// the wire (status, every header field, the body or its absence).
#ifndef BRINDLE_TESTS_ENGINE_HTTP_CLIENT_H
#define BRINDLE_TESTS_ENGINE_HTTP_CLIENT_H

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "engine/text_util.h"

namespace bw::test {

struct HttpReply {
  int status = 0;  // 0: no answer before the connection closed
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;

  std::string header(std::string_view name) const {
    for (const auto& h : headers)
      if (equalsIgnoringCase(h.first, name)) return h.second;
    return {};
  }
  bool has(std::string_view name) const {
    for (const auto& h : headers)
      if (equalsIgnoringCase(h.first, name)) return true;
    return false;
  }
};

// A connected socket to 127.0.0.1:port from the address `from` (any
// 127.x.y.z), or -1.
inline int connectTo(int port, const char* from = "127.0.0.1") {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  inet_pton(AF_INET, from, &local.sin_addr);
  sockaddr_in server{};
  server.sin_family = AF_INET;
  server.sin_port = htons(static_cast<uint16_t>(port));
  inet_pton(AF_INET, "127.0.0.1", &server.sin_addr);
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
      ::connect(fd, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0) {
    if (fd >= 0) ::close(fd);
    return -1;
  }
  return fd;
}

inline void sendAll(int fd, const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return;
    sent += static_cast<size_t>(n);
  }
}

// Everything the peer sends until it closes, or until `timeout` passes.
inline std::string readUntilClosed(int fd, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
  std::string data;
  auto deadline = std::chrono::steady_clock::now() + timeout;
  char buffer[65536];
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    data.append(buffer, static_cast<size_t>(n));
  }
  return data;
}

inline HttpReply parseReply(const std::string& data) {
  HttpReply reply;
  size_t end = data.find("\r\n\r\n");
  if (data.compare(0, 9, "HTTP/1.1 ") != 0 || end == std::string::npos) return reply;
  reply.status = std::stoi(data.substr(9, 3));
  size_t line = data.find("\r\n") + 2;
  while (line < end) {
    size_t next = data.find("\r\n", line);
    std::string field = data.substr(line, next - line);
    size_t colon = field.find(':');
    std::string value = field.substr(colon + 1);
    while (!value.empty() && value.front() == ' ') value.erase(0, 1);
    reply.headers.emplace_back(field.substr(0, colon), value);
    line = next + 2;
  }
  reply.body = data.substr(end + 4);
  return reply;
}

// One request on its own connection ("Connection: close" is added).
inline HttpReply exchange(int port, const std::string& method, const std::string& target,
                          const std::vector<std::string>& fields = {}, const std::string& body = "",
                          const char* from = "127.0.0.1") {
  int fd = connectTo(port, from);
  if (fd < 0) return {};
  std::string request = method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n";
  for (const std::string& field : fields) request += field + "\r\n";
  if (!body.empty() || method == "POST") request += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  request += "\r\n" + body;
  sendAll(fd, request);
  HttpReply reply = parseReply(readUntilClosed(fd));
  ::close(fd);
  return reply;
}

inline HttpReply get(int port, const std::string& target, const std::vector<std::string>& fields = {}) {
  return exchange(port, "GET", target, fields);
}

inline HttpReply postForm(int port, const std::string& target, const std::string& body,
                          std::vector<std::string> fields = {}) {
  fields.push_back("Content-Type: application/x-www-form-urlencoded");
  return exchange(port, "POST", target, fields, body);
}

}  // namespace bw::test

#endif
