// Formatting and writing access log lines.
#include "engine/access_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace bw {
namespace {

constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// "[09/Dec/2026:04:47:57 +0100]" in local time; the month by name whatever the locale.
std::string timestamp(std::time_t when) {
  std::tm tm{};
  localtime_r(&when, &tm);
  long offset = tm.tm_gmtoff / 60;
  char sign = offset < 0 ? '-' : '+';
  if (offset < 0) offset = -offset;
  char text[64];
  std::snprintf(text, sizeof text, "[%02d/%s/%04d:%02d:%02d:%02d %c%02ld%02ld]", tm.tm_mday, kMonths[tm.tm_mon],
                tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec, sign, offset / 60, offset % 60);
  return text;
}

void appendQuoted(std::string& line, std::string_view text) {
  line += '"';
  line += text.empty() ? std::string("-") : escapeLogField(text);
  line += '"';
}

}  // namespace

std::string escapeLogField(std::string_view text) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    unsigned char b = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (b < 0x20 || b > 0x7E) {
      out += "\\x";
      out += kHex[b >> 4];
      out += kHex[b & 0xF];
    } else {
      out += c;
    }
  }
  return out;
}

std::string formatAccessLine(const AccessEntry& entry) {
  std::string line = escapeLogField(entry.remoteAddress.empty() ? std::string_view("-") : entry.remoteAddress);
  line += " - - ";
  line += timestamp(entry.when);
  line += " \"";
  line += escapeLogField(entry.method);
  line += ' ';
  line += escapeLogField(entry.target);
  line += ' ';
  line += escapeLogField(entry.version);
  line += "\" ";
  line += std::to_string(entry.status);
  line += ' ';
  line += entry.bodyBytes == 0 ? std::string("-") : std::to_string(entry.bodyBytes);
  line += ' ';
  appendQuoted(line, entry.referer);
  line += ' ';
  appendQuoted(line, entry.userAgent);
  line += '\n';
  return line;
}

AccessLog::~AccessLog() {
  if (owned_ && fd_ >= 0) ::close(fd_);
}

bool AccessLog::open(const std::string& destination, std::string& error) {
  if (destination == "-") {
    fd_ = STDOUT_FILENO;
    owned_ = false;
    return true;
  }
  int fd = ::open(destination.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = "cannot open the access log " + destination + ": " + std::strerror(errno);
    return false;
  }
  fd_ = fd;
  owned_ = true;
  return true;
}

void AccessLog::write(const AccessEntry& entry) const {
  if (fd_ < 0) return;
  std::string line = formatAccessLine(entry);
  const char* p = line.data();
  size_t left = line.size();
  while (left > 0) {
    ssize_t n = ::write(fd_, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // a full disk loses lines, never requests
    p += n;
    left -= static_cast<size_t>(n);
  }
}

}  // namespace bw
