// Looking pages up, compiling the missing and changed ones, and making room.
#include "engine/page_cache.h"

#include "engine/stream_reading.h"

namespace bw {

namespace fs = std::filesystem;

bool CompiledPageCache::stampOf(const fs::path& file, Stamp& stamp) {
  std::error_code ec;
  stamp.size = fs::file_size(file, ec);
  if (ec) return false;
  stamp.modified = fs::last_write_time(file, ec);
  return !ec;
}

std::shared_ptr<const CompiledPage> CompiledPageCache::page(const fs::path& file) {
  const std::string key = file.string();
  Stamp before;
  if (!stampOf(file, before)) return nullptr;
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
  Stamp after;
  std::lock_guard<std::mutex> guard(lock_);
  ++compilations_;
  if (stampOf(file, after) && after == before && after.size == text.size()) keep(key, before, compiled);
  return compiled;
}

void CompiledPageCache::keep(const std::string& key, const Stamp& stamp,
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
