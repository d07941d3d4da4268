// Request paths to files under the site root.
#include "engine/site_paths.h"

namespace bw {

namespace fs = std::filesystem;

std::string regionOf(const fs::path& root, const fs::path& file) {
  std::string region = file.parent_path().lexically_relative(root).generic_string();
  return region == "." ? std::string() : region;
}

SitePath resolveSitePath(const fs::path& root, std::string_view urlPath) {
  SitePath result;
  if (urlPath.empty() || urlPath[0] != '/' || urlPath.find('\0') != std::string_view::npos ||
      urlPath.find('\\') != std::string_view::npos) {
    result.kind = SitePath::Kind::Forbidden;
    return result;
  }
  fs::path candidate = root;
  std::string clean;  // the path without empty and "." segments, for a redirect
  size_t start = 1;
  while (start <= urlPath.size()) {
    size_t end = urlPath.find('/', start);
    if (end == std::string_view::npos) end = urlPath.size();
    std::string_view segment = urlPath.substr(start, end - start);
    start = end + 1;
    if (segment.empty() || segment == ".") continue;
    if (segment == "..") {
      result.kind = SitePath::Kind::Forbidden;
      return result;
    }
    if (segment[0] == '.') return result;  // hidden: not found
    candidate /= std::string(segment);
    clean += '/';
    clean += segment;
  }
  std::error_code ec;
  fs::file_status status = fs::status(candidate, ec);
  if (ec || !fs::exists(status)) return result;
  if (fs::is_directory(status)) {
    if (urlPath.back() != '/') {
      result.kind = SitePath::Kind::Redirect;
      // Built from the segments, so that it never starts with "//", which a
      // browser would take for another host.
      result.location = clean + "/";
      return result;
    }
    candidate /= "index.html";
    if (!fs::is_regular_file(candidate, ec)) return result;
  } else if (!fs::is_regular_file(status)) {
    return result;
  }
  fs::path real = fs::canonical(candidate, ec);
  if (ec) return result;
  std::string rootText = root.string();
  std::string realText = real.string();
  if (realText.compare(0, rootText.size(), rootText) != 0 ||
      (realText.size() > rootText.size() && rootText.back() != '/' && realText[rootText.size()] != '/')) {
    result.kind = SitePath::Kind::Forbidden;
    return result;
  }
  // A link may lead to a hidden name the path itself did not show.
  for (const fs::path& part : real.lexically_relative(root))
    if (part.native().size() > 0 && part.native()[0] == '.' && part != "." && part != "..") return result;
  result.kind = SitePath::Kind::File;
  result.file = real;
  result.region = regionOf(root, real);
  return result;
}

}  // namespace bw
