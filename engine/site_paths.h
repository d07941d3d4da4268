// Mapping a request path to a file under the site root, refusing every path
// that would leave it: ".." segments, backslashes, NUL bytes, and symbolic
// links that point outside.  Hidden names (starting with ".") are not served,
// also when a link leads to one.  A folder asked for without its final "/"
// is redirected to a path that never starts with "//".
// A page's region is its folder relative to the root, "" for the root itself,
// with "/" between folder names.
#ifndef BRINDLE_ENGINE_SITE_PATHS_H
#define BRINDLE_ENGINE_SITE_PATHS_H

#include <filesystem>
#include <string>
#include <string_view>

namespace bw {

struct SitePath {
  enum class Kind { File, Redirect, NotFound, Forbidden } kind = Kind::NotFound;
  std::filesystem::path file;  // canonical, for File
  std::string region;          // for File
  std::string location;        // for Redirect: the folder's path with "/"
};

// `root` must be canonical; `urlPath` is the decoded path of the request.
SitePath resolveSitePath(const std::filesystem::path& root, std::string_view urlPath);

// The region of a canonical file under the canonical root.
std::string regionOf(const std::filesystem::path& root, const std::filesystem::path& file);

}  // namespace bw

#endif
