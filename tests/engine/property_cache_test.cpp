// The in-memory region properties: what servers read while other processes
// write the store, and what they do while the store is away.  SQLite cases
// run two connections on one file, as two servers would; the outage cases
// use a store that can be switched off.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <sstream>
#include <thread>

#include "engine/property_cache.h"
#include "engine/property_store.h"

namespace bw {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const char* const kTags[] = {"qelComment",      "qelIf",   "qelInlineIf", "qelInlineString",
                             "qelLoop",         "qelMath", "qelString",   "qelSwitch"};

PropertyCacheTiming quickTiming() {
  PropertyCacheTiming timing;
  timing.watchInterval = 20ms;
  timing.firstRetry = 10ms;
  timing.lastRetry = 40ms;
  return timing;
}

RegionProperties submission(const std::string& region, bool disableAll) {
  RegionProperties p;
  p.region = region;
  for (const char* tag : kTags)
    p.changes.emplace_back(tag, disableAll ? std::optional<std::string>("no") : std::nullopt);
  return p;
}

std::string valueOf(const PropertyCache& cache, const std::string& region, const std::string& name) {
  auto snapshot = cache.region(region);
  auto it = snapshot->values.find(name);
  return it == snapshot->values.end() ? "(absent)" : it->second;
}

// Polls until `done` holds or the deadline passes.
template <typename Condition>
bool within(std::chrono::milliseconds deadline, Condition done) {
  auto end = std::chrono::steady_clock::now() + deadline;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

class SqliteCache : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("brindle-cache-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    file = (dir / "p.db").string();
    std::string error;
    ours = PropertyStore::open(file, error);
    ASSERT_TRUE(ours) << error;
    theirs = PropertyStore::open(file, error);
    ASSERT_TRUE(theirs) << error;
    cache = PropertyCache::start(*ours, shared, error, quickTiming());
    ASSERT_TRUE(cache) << error;
  }
  void TearDown() override {
    cache.reset();
    fs::remove_all(dir);
  }
  fs::path dir;
  std::string file;
  std::unique_ptr<PropertyStore> ours, theirs;  // theirs: another server's connection
  std::ostringstream log;
  SharedLog shared{log};
  std::unique_ptr<PropertyCache> cache;
};

TEST_F(SqliteCache, AnotherConnectionsChangeIsReloadedWithinASecond) {
  RegionProperties loopOff;
  loopOff.region = "shop";
  loopOff.changes.emplace_back("qelLoop", std::string("no"));
  std::string error;
  ASSERT_EQ(theirs->commit(loopOff, error), StoreStatus::Ok) << error;
  EXPECT_TRUE(within(1s, [&] { return valueOf(*cache, "shop", "qelLoop") == "no"; }));
  EXPECT_EQ(valueOf(*cache, "", "qelLoop"), "(absent)");
  EXPECT_EQ(valueOf(*cache, "news", "qelLoop"), "(absent)");

  RegionProperties loopOn;
  loopOn.region = "shop";
  loopOn.changes.emplace_back("qelLoop", std::nullopt);
  ASSERT_EQ(theirs->commit(loopOn, error), StoreStatus::Ok) << error;
  EXPECT_TRUE(within(1s, [&] { return valueOf(*cache, "shop", "qelLoop") == "(absent)"; }));
  EXPECT_EQ(log.str(), "");
}

TEST_F(SqliteCache, OwnSubmissionIsSeenAtOnceAndEarlierSnapshotsStayAsTheyWere) {
  auto before = cache->region("shop");
  std::string error;
  ASSERT_EQ(cache->store(submission("shop", true), error), StoreStatus::Ok) << error;
  EXPECT_EQ(valueOf(*cache, "shop", "qelMath"), "no");  // no wait
  EXPECT_TRUE(before->values.empty());
  RegionProperties stored;
  ASSERT_EQ(theirs->load("shop", stored, error), StoreStatus::Ok);
  EXPECT_EQ(stored.values.size(), 8u);
}

TEST_F(SqliteCache, ReadersNeverSeeHalfASubmission) {
  std::atomic<bool> stop{false};
  std::atomic<int> torn{0}, reads{0};
  std::vector<std::thread> readers;
  for (int i = 0; i < 3; ++i)
    readers.emplace_back([&] {
      while (!stop) {
        size_t n = cache->region("shop")->values.size();
        if (n != 0 && n != 8) ++torn;
        ++reads;
      }
    });
  std::string error;
  for (int round = 0; round < 40; ++round) {
    // Half the submissions come from this server, half from the other.
    PropertyStore& writer = round % 2 ? *theirs : *ours;
    if (round % 2)
      ASSERT_EQ(writer.commit(submission("shop", round % 4 == 1), error), StoreStatus::Ok) << error;
    else
      ASSERT_EQ(cache->store(submission("shop", round % 4 == 0), error), StoreStatus::Ok) << error;
    std::this_thread::sleep_for(2ms);
  }
  stop = true;
  for (auto& t : readers) t.join();
  EXPECT_EQ(torn, 0);
  EXPECT_GT(reads, 0);
  // The last submission (round 39, from the other connection, enabling all)
  // is what both the store and, shortly, the cache hold.
  EXPECT_TRUE(within(1s, [&] { return cache->region("shop")->values.empty(); }));
}

TEST(SqliteSchema, NewFilesAreStampedAndNewerOnesRefused) {
  fs::path dir = fs::temp_directory_path() / ("brindle-schema-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::string file = (dir / "p.db").string();
  std::string error;
  ASSERT_TRUE(PropertyStore::open(file, error)) << error;
  auto pragma = [&](const char* sql) {
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    int version = -1;
    sqlite3_exec(db, sql, [](void* out, int, char** values, char**) {
      *static_cast<int*>(out) = std::atoi(values[0]);
      return 0;
    }, &version, nullptr);
    sqlite3_close(db);
    return version;
  };
  EXPECT_EQ(pragma("PRAGMA user_version"), 1);
  pragma("PRAGMA user_version = 99");
  EXPECT_FALSE(PropertyStore::open(file, error));
  EXPECT_NE(error.find("its schema version is 99, newer than this brindle's 1"), std::string::npos) << error;
  fs::remove_all(dir);
}

TEST(StoreKind, ThePropsValueChoosesTheStore) {
  const struct {
    const char* location;
    StoreKind kind;
  } cases[] = {
      {"postgresql://web@db.example/site", StoreKind::PostgreSQL},
      {"postgres://db.example/site", StoreKind::PostgreSQL},
      {"postgresql:host=/run/postgresql dbname=site", StoreKind::PostgreSQL},
      {"postgresql:", StoreKind::PostgreSQL},
      {"brindle.db", StoreKind::SQLite},
      {":memory:", StoreKind::SQLite},
      {"./postgresql:x", StoreKind::SQLite},
      {"PostgreSQL.db", StoreKind::SQLite},
  };
  for (const auto& c : cases) EXPECT_EQ(storeKindFor(c.location), c.kind) << c.location;
}

// A store in memory that can be switched off, as a database that goes away.
class SwitchableStore final : public PropertyStore {
 public:
  std::atomic<bool> up{true};
  std::atomic<int> reconnects{0};
  RegionTable table;
  std::mutex lock;

  std::string describe() const override { return "test store"; }
  StoreStatus load(const std::string& region, RegionProperties& out, std::string& error) override {
    std::lock_guard<std::mutex> guard(lock);
    if (!up) return down(error);
    out.region = region;
    out.values = table.count(region) ? table[region] : std::map<std::string, std::string>();
    return StoreStatus::Ok;
  }
  StoreStatus loadAll(RegionTable& out, std::string& error) override {
    std::lock_guard<std::mutex> guard(lock);
    if (!up) return down(error);
    out = table;
    return StoreStatus::Ok;
  }
  StoreStatus commit(const RegionProperties& p, std::string& error) override {
    std::lock_guard<std::mutex> guard(lock);
    if (!up) return down(error);
    apply(p);
    return StoreStatus::Ok;
  }
  StoreStatus waitForChanges(std::chrono::milliseconds timeout, StoreChanges&, std::string& error) override {
    std::this_thread::sleep_for(timeout);
    return up ? StoreStatus::Ok : down(error);
  }
  StoreStatus reconnect(std::string& error) override {
    ++reconnects;
    return up ? StoreStatus::Ok : down(error);
  }
  // A change made by another server, whose notice this one never gets.
  void applyBehindTheBack(const RegionProperties& p) {
    std::lock_guard<std::mutex> guard(lock);
    apply(p);
  }

 private:
  static StoreStatus down(std::string& error) {
    error = "connection refused";
    return StoreStatus::Unavailable;
  }
  void apply(const RegionProperties& p) {
    for (const auto& change : p.changes) {
      if (change.second)
        table[p.region][change.first] = *change.second;
      else
        table[p.region].erase(change.first);
    }
    if (table[p.region].empty()) table.erase(p.region);
  }
};

TEST(CacheOutage, PagesKeepTheLastPropertiesSubmissionsAreRefusedAndAllIsReloadedAfter) {
  SwitchableStore store;
  store.table["shop"]["qelLoop"] = "no";
  std::ostringstream log;
  SharedLog shared{log};
  std::string error;
  auto cache = PropertyCache::start(store, shared, error, quickTiming());
  ASSERT_TRUE(cache) << error;
  EXPECT_TRUE(cache->available());

  store.up = false;
  ASSERT_TRUE(within(1s, [&] { return !cache->available(); }));
  EXPECT_EQ(valueOf(*cache, "shop", "qelLoop"), "no");
  EXPECT_EQ(cache->store(submission("shop", false), error), StoreStatus::Unavailable);
  EXPECT_EQ(error, "the properties store is unreachable");
  std::this_thread::sleep_for(150ms);  // several failed reconnections
  EXPECT_GE(store.reconnects, 2);
  EXPECT_EQ(log.str(),
            "brindle: the properties store test store is unreachable (connection refused); pages keep the "
            "properties last seen, and the administrator's page answers 503 until it is back\n");

  // Meanwhile another server changed two regions.
  store.up = true;
  store.applyBehindTheBack(submission("shop", false));
  store.applyBehindTheBack(submission("news", true));
  ASSERT_TRUE(within(1s, [&] { return cache->available(); }));
  EXPECT_EQ(valueOf(*cache, "shop", "qelLoop"), "(absent)");
  EXPECT_EQ(valueOf(*cache, "news", "qelIf"), "no");
  EXPECT_NE(log.str().find("brindle: the properties store test store is back; every region reloaded\n"),
            std::string::npos);
  EXPECT_EQ(cache->store(submission("shop", true), error), StoreStatus::Ok);
  EXPECT_EQ(valueOf(*cache, "shop", "qelLoop"), "no");
}

TEST(CacheOutage, AStoreUnreadableAtStartIsRefused) {
  SwitchableStore store;
  store.up = false;
  std::ostringstream log;
  SharedLog shared{log};
  std::string error;
  EXPECT_FALSE(PropertyCache::start(store, shared, error));
  EXPECT_EQ(error, "cannot read the properties store test store: connection refused");
}

}  // namespace
}  // namespace bw
