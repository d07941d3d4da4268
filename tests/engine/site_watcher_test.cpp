// The live reload's watcher: a change anywhere under the root is noticed,
// and nothing else is.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "engine/site_watcher.h"

namespace bw {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

class SiteWatcherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root = fs::temp_directory_path() / ("brindle-watch-" + std::to_string(::getpid()));
    fs::create_directories(root / "shop");
    std::ofstream(root / "index.html") << "a";
  }
  void TearDown() override { fs::remove_all(root); }
  fs::path root;
};

TEST_F(SiteWatcherTest, FingerprintFollowsNamesSizesAndTimes) {
  const uint64_t before = SiteWatcher::fingerprint(root.string());
  EXPECT_EQ(SiteWatcher::fingerprint(root.string()), before);
  std::ofstream(root / "shop" / "page.html") << "new";
  const uint64_t added = SiteWatcher::fingerprint(root.string());
  EXPECT_NE(added, before);
  std::ofstream(root / "shop" / "page.html") << "longer text";
  EXPECT_NE(SiteWatcher::fingerprint(root.string()), added);
  fs::last_write_time(root / "index.html", fs::last_write_time(root / "index.html") + std::chrono::seconds(5));
  const uint64_t touched = SiteWatcher::fingerprint(root.string());
  fs::remove(root / "shop" / "page.html");
  EXPECT_NE(SiteWatcher::fingerprint(root.string()), touched);
}

TEST_F(SiteWatcherTest, HiddenNamesAreNotWatched) {
  // They are never served; editors write their swap files there as the author types.
  const uint64_t before = SiteWatcher::fingerprint(root.string());
  std::ofstream(root / "shop" / ".page.html.swp") << "swap";
  fs::create_directories(root / ".git" / "objects");
  std::ofstream(root / ".git" / "objects" / "ab") << "object";
  EXPECT_EQ(SiteWatcher::fingerprint(root.string()), before);
}

TEST_F(SiteWatcherTest, WakesWaitersWhenAFileChanges) {
  SiteWatcher watcher(root.string(), milliseconds(20));
  const uint64_t start = watcher.generation();
  // Nothing changes: the wait ends by its timeout with the same generation.
  EXPECT_EQ(watcher.waitForChange(start, milliseconds(100)), start);
  std::ofstream(root / "shop" / "style.css") << "p{}";
  EXPECT_GT(watcher.waitForChange(start, milliseconds(5000)), start);
}

}  // namespace
}  // namespace bw
