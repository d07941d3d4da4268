// Validators, conditions and ranges of static files.
#include "engine/static_files.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>

#include "engine/http_dates.h"

namespace bw {
namespace {

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::string_view withoutWeakMark(std::string_view tag) {
  return tag.size() >= 2 && tag[0] == 'W' && tag[1] == '/' ? tag.substr(2) : tag;
}

// A decimal number of at most 19 digits.
bool parseOffset(std::string_view text, uint64_t& out) {
  if (text.empty() || text.size() > 19) return false;
  out = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    out = out * 10 + static_cast<uint64_t>(c - '0');
  }
  return true;
}

// Whether the file's version still is the one the client holds.
bool notModified(const HttpRequest& request, std::string_view etag, std::time_t modified) {
  if (request.hasHeader("If-None-Match")) return etagListMatches(request.header("If-None-Match"), etag);
  std::time_t since = 0;
  return request.hasHeader("If-Modified-Since") && parseHttpDate(request.header("If-Modified-Since"), since) &&
         modified <= since;
}

// Whether a Range may be honoured: no If-Range, or one naming this version.
bool rangeStillApplies(const HttpRequest& request, std::string_view etag, std::string_view lastModified) {
  if (!request.hasHeader("If-Range")) return true;
  std::string_view field = trimmed(request.header("If-Range"));
  return field == etag || field == lastModified;
}

}  // namespace

bool etagListMatches(std::string_view field, std::string_view etag) {
  if (trimmed(field) == "*") return true;
  size_t start = 0;
  while (start <= field.size()) {
    size_t comma = field.find(',', start);
    if (comma == std::string_view::npos) comma = field.size();
    std::string_view tag = withoutWeakMark(trimmed(field.substr(start, comma - start)));
    if (!tag.empty() && tag == withoutWeakMark(etag)) return true;
    start = comma + 1;
  }
  return false;
}

ByteRange parseByteRange(std::string_view field, uint64_t size) {
  ByteRange whole;
  whole.length = size;
  field = trimmed(field);
  if (field.substr(0, 6) != "bytes=") return whole;
  std::string_view spec = trimmed(field.substr(6));
  size_t dash = spec.find('-');
  if (dash == std::string_view::npos || spec.find(',') != std::string_view::npos) return whole;
  std::string_view from = trimmed(spec.substr(0, dash)), to = trimmed(spec.substr(dash + 1));
  ByteRange range;
  range.kind = ByteRange::Kind::Part;
  uint64_t first = 0, last = 0;
  if (from.empty()) {  // the last `to` bytes
    if (!parseOffset(to, last)) return whole;
    if (last == 0 || size == 0) return ByteRange{ByteRange::Kind::Unsatisfiable, 0, 0};
    range.length = last < size ? last : size;
    range.first = size - range.length;
    return range;
  }
  if (!parseOffset(from, first) || (!to.empty() && !parseOffset(to, last))) return whole;
  if (!to.empty() && last < first) return whole;
  if (first >= size) return ByteRange{ByteRange::Kind::Unsatisfiable, 0, 0};
  if (to.empty() || last >= size) last = size - 1;
  range.first = first;
  range.length = last - first + 1;
  return range;
}

void answerStaticFile(const HttpRequest& request, const std::filesystem::path& file,
                      std::string_view contentType, std::string_view cacheControl, HttpResponse& response) {
  FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat info {};
  if (!fd.valid() || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode))
    return answerWithMessage(response, 404, "404 Not Found: " + request.path);
  const uint64_t size = static_cast<uint64_t>(info.st_size);
  char etag[64];
  std::snprintf(etag, sizeof etag, "\"%llx-%llx\"", static_cast<unsigned long long>(size),
                static_cast<unsigned long long>(info.st_mtim.tv_sec) * 1000000000ull +
                    static_cast<unsigned long long>(info.st_mtim.tv_nsec));
  const std::string lastModified = formatHttpDate(info.st_mtim.tv_sec);
  response.setHeader("ETag", etag);
  response.setHeader("Last-Modified", lastModified);
  response.setHeader("Cache-Control", std::string(cacheControl));
  if (notModified(request, etag, info.st_mtim.tv_sec)) {
    response.status = 304;
    return;
  }
  response.setHeader("Content-Type", std::string(contentType));
  response.setHeader("Accept-Ranges", "bytes");
  ByteRange range;
  range.length = size;
  if (request.hasHeader("Range") && rangeStillApplies(request, etag, lastModified))
    range = parseByteRange(request.header("Range"), size);
  if (range.kind == ByteRange::Kind::Unsatisfiable) {
    answerWithMessage(response, 416, "416 Range Not Satisfiable");
    response.setHeader("Content-Range", "bytes */" + std::to_string(size));
    return;
  }
  if (range.kind == ByteRange::Kind::Part) {
    response.status = 206;
    response.setHeader("Content-Range", "bytes " + std::to_string(range.first) + "-" +
                                            std::to_string(range.first + range.length - 1) + "/" +
                                            std::to_string(size));
  }
  response.file = std::move(fd);
  response.fileOffset = range.first;
  response.fileLength = range.length;
}

}  // namespace bw
