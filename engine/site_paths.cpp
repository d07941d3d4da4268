// Request paths to files under the site root.
#include "engine/site_paths.h"

#include <sys/stat.h>

namespace bw {

namespace fs = std::filesystem;

namespace {

int64_t nanosecondsOf(const timespec& time) {
  return static_cast<int64_t>(time.tv_sec) * 1000000000 + static_cast<int64_t>(time.tv_nsec);
}

}  // namespace

FileKind statFile(const std::string& path, FileStamp& stamp) {
  struct stat status;
  if (::stat(path.c_str(), &status) != 0) return FileKind::Missing;
  stamp.device = static_cast<uint64_t>(status.st_dev);
  stamp.inode = static_cast<uint64_t>(status.st_ino);
  stamp.size = static_cast<int64_t>(status.st_size);
  stamp.modifiedNanoseconds = nanosecondsOf(status.st_mtim);
  stamp.changedNanoseconds = nanosecondsOf(status.st_ctim);
  if (S_ISREG(status.st_mode)) return FileKind::Regular;
  return S_ISDIR(status.st_mode) ? FileKind::Folder : FileKind::Other;
}

std::string regionOf(const fs::path& root, const fs::path& file) {
  std::string region = file.parent_path().lexically_relative(root).generic_string();
  return region == "." ? std::string() : region;
}

SitePath::Kind candidateOf(const fs::path& root, std::string_view urlPath, std::string& candidate,
                           std::string& clean) {
  using Kind = SitePath::Kind;
  if (urlPath.empty() || urlPath[0] != '/' || urlPath.find('\0') != std::string_view::npos ||
      urlPath.find('\\') != std::string_view::npos)
    return Kind::Forbidden;
  candidate = root.native();
  clean.clear();
  size_t start = 1;
  while (start <= urlPath.size()) {
    size_t end = urlPath.find('/', start);
    if (end == std::string_view::npos) end = urlPath.size();
    std::string_view segment = urlPath.substr(start, end - start);
    start = end + 1;
    if (segment.empty() || segment == ".") continue;
    if (segment == "..") return Kind::Forbidden;
    if (segment[0] == '.') return Kind::NotFound;  // hidden
    if (candidate.empty() || candidate.back() != '/') candidate += '/';
    candidate += segment;
    clean += '/';
    clean += segment;
  }
  return Kind::File;
}

SitePath resolveSitePath(const fs::path& root, std::string_view urlPath) {
  SitePath result;
  std::string candidate, clean;
  result.kind = candidateOf(root, urlPath, candidate, clean);
  if (result.kind != SitePath::Kind::File) return result;
  result.kind = SitePath::Kind::NotFound;
  FileKind kind = statFile(candidate, result.stamp);
  if (kind == FileKind::Folder) {
    if (urlPath.back() != '/') {
      result.kind = SitePath::Kind::Redirect;
      // Built from the segments, so that it never starts with "//", which a
      // browser would take for another host.
      result.location = clean + "/";
      return result;
    }
    candidate += candidate.back() == '/' ? "index.html" : "/index.html";
    kind = statFile(candidate, result.stamp);
  }
  if (kind != FileKind::Regular) return result;
  std::error_code ec;
  fs::path real = fs::canonical(candidate, ec);
  if (ec) return result;
  const std::string& rootText = root.native();
  const std::string& realText = real.native();
  if (realText.compare(0, rootText.size(), rootText) != 0 ||
      (realText.size() > rootText.size() && rootText.back() != '/' && realText[rootText.size()] != '/')) {
    result.kind = SitePath::Kind::Forbidden;
    return result;
  }
  // A link may lead to a hidden name the path itself did not show.
  const fs::path relative = real.lexically_relative(root);
  for (const fs::path& part : relative)
    if (part.native().size() > 0 && part.native()[0] == '.' && part != "." && part != "..") return result;
  result.kind = SitePath::Kind::File;
  result.file = real;
  result.region = regionOf(root, real);
  result.name = relative.generic_string();
  return result;
}

}  // namespace bw
