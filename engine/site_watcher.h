// Notices when a file under a site's root changes, for the live reload of
// `brindle serve --dev`.
//
// A thread looks at the tree every poll interval (kSiteWatchInterval by
// default): the names, sizes and modification times of every file under the
// root, hidden names (".page.html.swp", ".git/") left out, folded into one
// fingerprint.  When the fingerprint differs from the last one, the
// generation counts up and everyone waiting is woken.  Polling
// needs no platform watch API and no limit on watched folders, and a site
// small enough to edit by hand is read in well under a millisecond.
#ifndef BRINDLE_ENGINE_SITE_WATCHER_H
#define BRINDLE_ENGINE_SITE_WATCHER_H

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace bw {

constexpr std::chrono::milliseconds kSiteWatchInterval{300};

class SiteWatcher {
 public:
  explicit SiteWatcher(std::string root, std::chrono::milliseconds interval = kSiteWatchInterval);
  ~SiteWatcher();  // stops the thread
  SiteWatcher(const SiteWatcher&) = delete;
  SiteWatcher& operator=(const SiteWatcher&) = delete;

  uint64_t generation() const;
  // Waits until the generation passes `seen` or `timeout` ends (or the
  // watcher stops); returns the generation then.
  uint64_t waitForChange(uint64_t seen, std::chrono::milliseconds timeout);

  // The fingerprint of a tree as the thread takes it.
  static uint64_t fingerprint(const std::string& root);

 private:
  void run();

  const std::string root_;
  const std::chrono::milliseconds interval_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  uint64_t generation_ = 0;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace bw

#endif
