// One HTTP request and its answer, as the site's routes see them.
//
// The HTTP layer (http_server.h) fills a request from the wire and turns the
// answer back into bytes; routes see neither the library nor its types.  A
// request's views point into the connection's memory and are valid only
// while its route runs.  An answer carries either a body held in memory or
// a slice of an open file, which is sent from the file by the kernel, so
// that a download costs no memory whatever the file's size.
#ifndef BRINDLE_ENGINE_HTTP_EXCHANGE_H
#define BRINDLE_ENGINE_HTTP_EXCHANGE_H

#include <unistd.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/text_util.h"

namespace bw {

struct HeaderField {
  std::string_view name, value;
};

struct HttpRequest {
  std::string_view method;  // as sent: "GET", "HEAD", "POST"
  std::string_view target;  // the request target as sent, query included
  std::string path;         // the target's path, %XX decoded ("+" stays "+")
  std::string_view query;   // after the first "?", undecoded
  std::vector<HeaderField> headers;
  std::string body;
  std::string remoteAddress;

  // The first field named `name` (ASCII case ignored); empty when absent.
  std::string_view header(std::string_view name) const {
    for (const HeaderField& field : headers)
      if (equalsIgnoringCase(field.name, name)) return field.value;
    return {};
  }
  bool hasHeader(std::string_view name) const {
    for (const HeaderField& field : headers)
      if (equalsIgnoringCase(field.name, name)) return true;
    return false;
  }
  bool isHead() const { return method == "HEAD"; }
};

// An open file descriptor, closed when its holder lets it go.
class FileDescriptor {
 public:
  FileDescriptor() = default;
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() { reset(); }

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int release() { return std::exchange(fd_, -1); }
  void reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

 private:
  int fd_ = -1;
};

struct HttpResponse {
  int status = 200;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  // When valid, the answer's body is fileLength bytes of this file from
  // fileOffset on, and `body` is unused.
  FileDescriptor file;
  uint64_t fileOffset = 0, fileLength = 0;

  void setHeader(std::string name, std::string value) {
    for (auto& header : headers)
      if (equalsIgnoringCase(header.first, name)) {
        header.second = std::move(value);
        return;
      }
    headers.emplace_back(std::move(name), std::move(value));
  }
  // The value set for `name`, or empty.
  std::string_view header(std::string_view name) const {
    for (const auto& header : headers)
      if (equalsIgnoringCase(header.first, name)) return header.second;
    return {};
  }
  uint64_t bodyLength() const { return file.valid() ? fileLength : body.size(); }
};

// An answer that is a short message: an HTML page whose title and text are
// `text`, escaped.
inline void answerWithMessage(HttpResponse& response, int status, std::string_view text) {
  const std::string escaped = htmlEscaped(text);
  response.status = status;
  response.setHeader("Content-Type", "text/html; charset=utf-8");
  response.body = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + escaped +
                  "</title></head><body><p>" + escaped + "</p></body></html>\n";
}

}  // namespace bw

#endif
