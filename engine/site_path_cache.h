// Request paths resolved once and reused while they lead to the same file.
//
// Resolving a path in full costs a stat and a canonical walk of its folders
// (a readlink per folder): at tens of thousands of requests a second those
// system calls cost more than rendering a small page.  The cache keeps each
// path that led to a file with that file's stamp (device, inode, size,
// modification and change times).  A request then costs one stat: when it
// finds the same stamp, and the path was resolved in full less than
// kRecheckAfter ago, the earlier answer stands.  So a file that is changed,
// renamed or linked again is seen at once, and a link anywhere on the path
// that is changed to lead out of the site or to a hidden name is seen
// within kRecheckAfter.  Only paths that led to a file are kept, keyed by
// the file path they name, so visitors' made-up paths cannot fill it; at
// kCapacity paths it starts again from empty.  Safe on several threads.
#ifndef BRINDLE_ENGINE_SITE_PATH_CACHE_H
#define BRINDLE_ENGINE_SITE_PATH_CACHE_H

#include <chrono>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "engine/site_paths.h"

namespace bw {

class SitePathCache {
 public:
  static constexpr std::chrono::milliseconds kRecheckAfter{1000};
  static constexpr size_t kCapacity = 4096;

  // `root` must be canonical.
  explicit SitePathCache(std::filesystem::path root) : root_(std::move(root)) {}

  SitePath resolve(std::string_view urlPath);

  uint64_t fullResolutions() const;  // paths resolved in full so far

 private:
  using Clock = std::chrono::steady_clock;
  struct Entry {
    SitePath path;
    Clock::time_point resolved;
  };

  const std::filesystem::path root_;
  mutable std::mutex lock_;
  std::unordered_map<std::string, Entry> entries_;
  uint64_t fullResolutions_ = 0;
};

}  // namespace bw

#endif
