// The polling thread and the fingerprint of a tree.
#include "engine/site_watcher.h"

#include <filesystem>

namespace bw {
namespace {

// FNV-1a over the bytes of each value, in the order the walk meets them;
// the order of a folder's entries is stable while the folder is unchanged.
void mix(uint64_t& hash, const void* data, size_t size) {
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  for (size_t i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * 0x100000001b3ull;
}

}  // namespace

uint64_t SiteWatcher::fingerprint(const std::string& root) {
  namespace fs = std::filesystem;
  uint64_t hash = 0xcbf29ce484222325ull;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, ec), end;
       !ec && it != end; it.increment(ec)) {
    // Hidden names are never served (site_paths.h), so a change there changes
    // no page; editors keep their swap and lock files there, and a reload
    // at every keystroke's autosave would only distract.
    if (it->path().filename().string().rfind('.', 0) == 0) {
      it.disable_recursion_pending();
      continue;
    }
    const std::string name = it->path().string();
    mix(hash, name.data(), name.size());
    std::error_code entryError;
    if (!it->is_regular_file(entryError)) continue;
    const uintmax_t size = it->file_size(entryError);
    const auto time = it->last_write_time(entryError).time_since_epoch().count();
    mix(hash, &size, sizeof size);
    mix(hash, &time, sizeof time);
  }
  return hash;
}

SiteWatcher::SiteWatcher(std::string root, std::chrono::milliseconds interval)
    : root_(std::move(root)), interval_(interval) {
  thread_ = std::thread([this] { run(); });
}

SiteWatcher::~SiteWatcher() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

uint64_t SiteWatcher::generation() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return generation_;
}

uint64_t SiteWatcher::waitForChange(uint64_t seen, std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait_for(lock, timeout, [&] { return generation_ != seen || stopping_; });
  return generation_;
}

void SiteWatcher::run() {
  uint64_t last = fingerprint(root_);
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_) {
    changed_.wait_for(lock, interval_, [this] { return stopping_; });
    if (stopping_) break;
    lock.unlock();
    const uint64_t now = fingerprint(root_);
    lock.lock();
    if (now != last) {
      last = now;
      ++generation_;
      changed_.notify_all();
    }
  }
}

}  // namespace bw
