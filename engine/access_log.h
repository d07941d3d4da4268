// The access log: one line per answered request in the Combined Log Format,
//   127.0.0.1 - - [09/Dec/2026:04:47:57 +0000] "GET / HTTP/1.1" 200 512 "referer" "agent"
// written to a file (appended) or to standard output.  Every byte a client
// chose (the request line, Referer, User-Agent) is escaped: a quote as \",
// a backslash as \\, and control bytes and bytes above 0x7E as \xHH, so
// that no request can end its field or its line and forge another entry.
// Each line goes out in one write(), so lines from the server's threads
// never interleave.
#ifndef BRINDLE_ENGINE_ACCESS_LOG_H
#define BRINDLE_ENGINE_ACCESS_LOG_H

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace bw {

struct AccessEntry {
  std::string_view remoteAddress;
  std::time_t when = 0;
  std::string_view method, target, version;
  int status = 0;
  uint64_t bodyBytes = 0;  // shown as "-" when 0
  std::string_view referer, userAgent;  // empty: "-"
};

// The entry's line, with its newline; `when` in the machine's time zone.
std::string formatAccessLine(const AccessEntry& entry);

// Bytes a client chose, made safe to stand between double quotes.
std::string escapeLogField(std::string_view text);

class AccessLog {
 public:
  AccessLog() = default;
  ~AccessLog();
  AccessLog(const AccessLog&) = delete;
  AccessLog& operator=(const AccessLog&) = delete;

  // "-" for standard output; false with a message when the file cannot be opened.
  bool open(const std::string& destination, std::string& error);
  bool enabled() const { return fd_ >= 0; }
  void write(const AccessEntry& entry) const;

 private:
  int fd_ = -1;
  bool owned_ = false;
};

}  // namespace bw

#endif
