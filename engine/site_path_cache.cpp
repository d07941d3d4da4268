// One stat per request for a path resolved before; a full resolution otherwise.
#include "engine/site_path_cache.h"

namespace bw {

SitePath SitePathCache::resolve(std::string_view urlPath) {
  std::string candidate, clean;
  SitePath::Kind kind = candidateOf(root_, urlPath, candidate, clean);
  if (kind != SitePath::Kind::File) {
    SitePath refused;
    refused.kind = kind;
    return refused;
  }
  FileStamp stamp;
  FileKind found = statFile(candidate, stamp);
  // A folder asked for with its "/" is its index page: as common as any
  // page, so it is kept too (keyed by the index page's path).
  if (found == FileKind::Folder && urlPath.back() == '/') {
    candidate += candidate.back() == '/' ? "index.html" : "/index.html";
    found = statFile(candidate, stamp);
  }
  const bool regular = found == FileKind::Regular;
  const Clock::time_point now = Clock::now();
  if (regular) {
    std::lock_guard<std::mutex> guard(lock_);
    auto found = entries_.find(candidate);
    if (found != entries_.end() && found->second.path.stamp == stamp && now - found->second.resolved < kRecheckAfter)
      return found->second.path;
  }
  // Folders without their "/" (a redirect), missing files and files seen
  // for the first time, changed or not checked for a while.
  SitePath path = resolveSitePath(root_, urlPath);
  std::lock_guard<std::mutex> guard(lock_);
  ++fullResolutions_;
  if (regular && path.kind == SitePath::Kind::File && path.stamp == stamp) {
    if (entries_.size() >= kCapacity) entries_.clear();
    entries_[candidate] = Entry{path, now};
  } else {
    entries_.erase(candidate);
  }
  return path;
}

uint64_t SitePathCache::fullResolutions() const {
  std::lock_guard<std::mutex> guard(lock_);
  return fullResolutions_;
}

}  // namespace bw
