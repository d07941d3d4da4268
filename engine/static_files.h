// Answering GET and HEAD for a file as it is.
//
// The answer carries the file's descriptor, not its bytes (the HTTP layer
// sends it with sendfile), with an ETag made of the file's size and
// modification time, Last-Modified, Cache-Control as configured and
// Accept-Ranges.  If-None-Match (or, without it, If-Modified-Since) that
// still holds answers 304.  One byte range ("bytes=0-99", "bytes=100-",
// "bytes=-100") answers 206 with Content-Range, unless If-Range names
// another version of the file; a range that starts past the end answers 416;
// several ranges, or a malformed Range, are ignored and the whole file is
// sent.
#ifndef BRINDLE_ENGINE_STATIC_FILES_H
#define BRINDLE_ENGINE_STATIC_FILES_H

#include <cstdint>
#include <filesystem>
#include <string_view>

#include "engine/http_exchange.h"

namespace bw {

// Cache-Control of static files unless --static-cache-control says otherwise:
// caches may keep them but must ask again, which the ETag makes cheap.
constexpr const char* kDefaultStaticCacheControl = "no-cache";

void answerStaticFile(const HttpRequest& request, const std::filesystem::path& file,
                      std::string_view contentType, std::string_view cacheControl, HttpResponse& response);

// A single byte range of a file of `size` bytes.
struct ByteRange {
  enum class Kind { Whole, Part, Unsatisfiable } kind = Kind::Whole;
  uint64_t first = 0, length = 0;
};
// The range a Range field asks for; Whole when it is absent, malformed or
// asks for several ranges.
ByteRange parseByteRange(std::string_view field, uint64_t size);

// Whether an If-None-Match field names `etag` (or is "*"); weak tags match.
bool etagListMatches(std::string_view field, std::string_view etag);

}  // namespace bw

#endif
