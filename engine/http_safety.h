// The rules the server keeps for every answer, whatever it serves.
//
// Headers that stop a browser from guessing a content type or framing the
// administrator's page; whether a state-changing request comes from a page
// of this very site; whether a request came over TLS through a proxy on
// this machine (log text that cannot forge a line is escapedForLog, in
// text_util.h).  Each is a small
// pure function, so the server and its tests share one reading.
#ifndef BRINDLE_ENGINE_HTTP_SAFETY_H
#define BRINDLE_ENGINE_HTTP_SAFETY_H

#include <filesystem>
#include <string>
#include <string_view>

namespace bw {

struct ResponseHeader {
  const char* name;
  const char* value;
};

// On every response.
extern const ResponseHeader kEveryResponseHeaders[1];
// On the administrator's pages besides.
extern const ResponseHeader kAdminResponseHeaders[4];

// Whether a POST with these Origin and Referer headers (empty when absent)
// comes from a page served under `host` (the request's Host header).
// Origin decides when present; otherwise Referer; with neither, it does not.
bool fromSameSite(std::string_view origin, std::string_view referer, std::string_view host);

// Whether the request came over TLS: a proxy on this machine (the peer is a
// loopback address) says so with X-Forwarded-Proto: https.  A header from
// anywhere else is not believed.
bool cameOverTls(std::string_view peerAddress, std::string_view forwardedProto);
bool isLoopbackAddress(std::string_view address);

// Whether `path` is `root` or lies under it, links resolved as far as they
// exist.
bool isUnder(const std::filesystem::path& path, const std::filesystem::path& root);

}  // namespace bw

#endif
