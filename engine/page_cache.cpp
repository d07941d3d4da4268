// Looking pages up, compiling the missing and changed ones, and making room.
#include "engine/page_cache.h"

#include "engine/stream_reading.h"

namespace bw {

namespace fs = std::filesystem;

std::shared_ptr<const CompiledPage> CompiledPageCache::page(const fs::path& file) {
  FileStamp stamp;
  if (statFile(file.native(), stamp) != FileKind::Regular) return nullptr;
  return page(file, stamp);
}

std::shared_ptr<const CompiledPage> CompiledPageCache::page(const fs::path& file, const FileStamp& before) {
  const std::string& key = file.native();
  {
    std::lock_guard<std::mutex> guard(lock_);
    auto found = entries_.find(key);
    if (found != entries_.end() && found->second.stamp == before) {
      found->second.lastUse = ++clock_;
      return found->second.page;
    }
  }
  std::string text;
  if (!readWholeFile(file, text)) return nullptr;
  auto compiled = std::make_shared<const CompiledPage>(CompiledPage::compile(tags_, text));
  // A file written while it was read is served as read but not kept, so
  // that the next request reads it again.
  FileStamp after;
  const bool unchanged = statFile(key, after) == FileKind::Regular && after == before &&
                         static_cast<uint64_t>(after.size) == text.size();
  std::lock_guard<std::mutex> guard(lock_);
  ++compilations_;
  if (unchanged) keep(key, before, compiled);
  return compiled;
}

void CompiledPageCache::keep(const std::string& key, const FileStamp& stamp,
                             std::shared_ptr<const CompiledPage> page) {
  auto found = entries_.find(key);
  if (found == entries_.end() && entries_.size() >= capacity_) {
    auto oldest = entries_.begin();
    for (auto it = entries_.begin(); it != entries_.end(); ++it)
      if (it->second.lastUse < oldest->second.lastUse) oldest = it;
    entries_.erase(oldest);
  }
  entries_[key] = Entry{stamp, std::move(page), ++clock_};
}

size_t CompiledPageCache::size() const {
  std::lock_guard<std::mutex> guard(lock_);
  return entries_.size();
}

uint64_t CompiledPageCache::compilations() const {
  std::lock_guard<std::mutex> guard(lock_);
  return compilations_;
}

}  // namespace bw
