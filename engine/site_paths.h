// Mapping a request path to a file under the site root, refusing every path
// that would leave it: ".." segments, backslashes, NUL bytes, and symbolic
// links that point outside.  Hidden names (starting with ".") are not served,
// also when a link leads to one.  A folder asked for without its final "/"
// is redirected to a path that never starts with "//".
// A page's region is its folder relative to the root, "" for the root itself,
// with "/" between folder names.
#ifndef BRINDLE_ENGINE_SITE_PATHS_H
#define BRINDLE_ENGINE_SITE_PATHS_H

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace bw {

// What one stat of a file says: enough to tell that a path still leads to
// the same file, with the same content.  A file renamed or linked again
// gets a new change time, a file written a new size or modification time.
struct FileStamp {
  uint64_t device = 0;
  uint64_t inode = 0;
  int64_t size = 0;
  int64_t modifiedNanoseconds = 0;
  int64_t changedNanoseconds = 0;
  bool operator==(const FileStamp& other) const {
    return device == other.device && inode == other.inode && size == other.size &&
           modifiedNanoseconds == other.modifiedNanoseconds && changedNanoseconds == other.changedNanoseconds;
  }
  bool operator!=(const FileStamp& other) const { return !(*this == other); }
};

enum class FileKind { Missing, Regular, Folder, Other };

// One stat of `path`, following links.
FileKind statFile(const std::string& path, FileStamp& stamp);

struct SitePath {
  enum class Kind { File, Redirect, NotFound, Forbidden } kind = Kind::NotFound;
  std::filesystem::path file;  // canonical, for File
  std::string region;          // for File
  std::string name;            // for File: its path relative to the root, with "/"
  FileStamp stamp;             // for File: as it was when the path was resolved
  std::string location;        // for Redirect: the folder's path with "/"
};

// The file a request path names, before any look at the disk: `candidate`
// is the root joined with the path's segments (empty and "." segments left
// out), `clean` those segments alone.  Kind::File means the path may name a
// file; any other kind is the answer already.
SitePath::Kind candidateOf(const std::filesystem::path& root, std::string_view urlPath, std::string& candidate,
                           std::string& clean);

// `root` must be canonical; `urlPath` is the decoded path of the request.
SitePath resolveSitePath(const std::filesystem::path& root, std::string_view urlPath);

// The region of a canonical file under the canonical root.
std::string regionOf(const std::filesystem::path& root, const std::filesystem::path& file);

}  // namespace bw

#endif
