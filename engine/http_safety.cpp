// Response headers, same-site checks, TLS behind a proxy, the store's place.
#include "engine/http_safety.h"

#include "engine/text_util.h"

namespace bw {

const ResponseHeader kEveryResponseHeaders[1] = {
    {"X-Content-Type-Options", "nosniff"},
};

const ResponseHeader kAdminResponseHeaders[4] = {
    {"Content-Security-Policy", "frame-ancestors 'none'"},
    {"X-Frame-Options", "DENY"},
    {"Cache-Control", "no-store"},
    {"Referrer-Policy", "same-origin"},
};

namespace {

// "http://host[:port]" or "https://..." of a URL, or empty when it has none.
std::string_view originOf(std::string_view url) {
  size_t scheme = url.find("://");
  if (scheme == std::string_view::npos) return {};
  std::string_view s = url.substr(0, scheme);
  if (!equalsIgnoringCase(s, "http") && !equalsIgnoringCase(s, "https")) return {};
  size_t end = url.find_first_of("/?#", scheme + 3);
  return url.substr(0, end == std::string_view::npos ? url.size() : end);
}

}  // namespace

bool fromSameSite(std::string_view origin, std::string_view referer, std::string_view host) {
  if (host.empty()) return false;
  std::string_view from = !origin.empty() ? originOf(origin) : originOf(referer);
  if (from.empty()) return false;  // "null", or neither header
  std::string_view authority = from.substr(from.find("://") + 3);
  return equalsIgnoringCase(authority, host);
}

bool isLoopbackAddress(std::string_view address) {
  if (address.rfind("::ffff:", 0) == 0) address.remove_prefix(7);
  return address == "::1" || address.rfind("127.", 0) == 0;
}

bool cameOverTls(std::string_view peerAddress, std::string_view forwardedProto) {
  return isLoopbackAddress(peerAddress) && equalsIgnoringCase(forwardedProto, "https");
}

bool isUnder(const std::filesystem::path& path, const std::filesystem::path& root) {
  namespace fs = std::filesystem;
  std::error_code ec;
  auto settled = [&ec](const fs::path& p) {
    fs::path full = fs::weakly_canonical(fs::absolute(p, ec), ec).lexically_normal();
    return full.has_filename() ? full : full.parent_path();
  };
  const fs::path relative = settled(path).lexically_relative(settled(root));
  return !relative.empty() && *relative.begin() != "..";
}

}  // namespace bw
