// The in-memory region properties and the thread that keeps them current.
#include "engine/property_cache.h"

#include <signal.h>

#include <algorithm>
#include <set>

namespace bw {

PropertyCache::PropertyCache(PropertyStore& store, SharedLog& log, PropertyCacheTiming timing)
    : store_(store), log_(log), timing_(timing), empty_(std::make_shared<const RegionProperties>()) {}

std::unique_ptr<PropertyCache> PropertyCache::start(PropertyStore& store, SharedLog& log,
                                                    std::string& error, PropertyCacheTiming timing) {
  std::unique_ptr<PropertyCache> cache(new PropertyCache(store, log, timing));
  std::string reason;
  if (cache->reloadAll(reason) != StoreStatus::Ok) {
    error = "cannot read the properties store " + store.describe() + ": " + reason;
    return nullptr;
  }
  // A new thread inherits the mask of the one that makes it: the watcher
  // starts with every signal blocked, so that SIGTERM and SIGINT reach the
  // thread the program set aside for them and never end it by default.
  sigset_t all, previous;
  sigfillset(&all);
  pthread_sigmask(SIG_BLOCK, &all, &previous);
  cache->watcher_ = std::thread([raw = cache.get()] { raw->watch(); });
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  return cache;
}

PropertyCache::~PropertyCache() {
  {
    std::lock_guard<std::mutex> guard(stopLock_);
    stopping_ = true;
  }
  stopSignal_.notify_all();
  if (watcher_.joinable()) watcher_.join();
}

std::shared_ptr<const RegionProperties> PropertyCache::region(const std::string& name) const {
  std::shared_lock<std::shared_mutex> guard(snapshotLock_);
  auto it = regions_.find(name);
  return it != regions_.end() ? it->second : empty_;
}

void PropertyCache::install(const std::string& name, std::map<std::string, std::string> values) {
  std::shared_ptr<RegionProperties> fresh;
  if (!values.empty()) {
    fresh = std::make_shared<RegionProperties>();
    fresh->region = name;
    fresh->values = std::move(values);
  }
  std::unique_lock<std::shared_mutex> guard(snapshotLock_);
  if (fresh)
    regions_[name] = std::move(fresh);
  else
    regions_.erase(name);
}

StoreStatus PropertyCache::reloadAll(std::string& error) {
  std::lock_guard<std::mutex> guard(reloadLock_);
  RegionTable table;
  StoreStatus status = store_.loadAll(table, error);
  if (status != StoreStatus::Ok) return status;
  std::map<std::string, std::shared_ptr<const RegionProperties>> fresh;
  for (auto& [name, values] : table) {
    auto properties = std::make_shared<RegionProperties>();
    properties->region = name;
    properties->values = std::move(values);
    fresh.emplace(name, std::move(properties));
  }
  std::unique_lock<std::shared_mutex> snapshot(snapshotLock_);
  regions_.swap(fresh);
  snapshot.unlock();  // the old snapshots are released outside the lock
  return status;
}

StoreStatus PropertyCache::reloadRegion(const std::string& name, std::string& error) {
  std::lock_guard<std::mutex> guard(reloadLock_);
  RegionProperties loaded;
  StoreStatus status = store_.load(name, loaded, error);
  if (status == StoreStatus::Ok) install(name, std::move(loaded.values));
  return status;
}

StoreStatus PropertyCache::store(const RegionProperties& edited, std::string& error) {
  if (!available()) {
    error = "the properties store is unreachable";
    return StoreStatus::Unavailable;
  }
  StoreStatus status = store_.commit(edited, error);
  if (status != StoreStatus::Ok) return status;
  // Read back rather than trust the copy: another server may have stored
  // the same region a moment later.
  std::string ignored;
  if (reloadRegion(edited.region, ignored) != StoreStatus::Ok) {
    std::lock_guard<std::mutex> guard(reloadLock_);
    install(edited.region, edited.values);
  }
  return status;
}

bool PropertyCache::pause(std::chrono::milliseconds delay) {
  std::unique_lock<std::mutex> guard(stopLock_);
  return stopSignal_.wait_for(guard, delay, [this] { return stopping_; });
}

// Only the watcher changes available_; it logs first, so that whoever sees
// the change also sees the line.
void PropertyCache::markUnavailable(const std::string& reason) {
  if (!available()) return;
  log_.write("brindle: the properties store " + store_.describe() + " is unreachable (" + reason +
      "); pages keep the properties last seen, and the administrator's page answers 503 until it is back\n");
  available_.store(false, std::memory_order_release);
}

void PropertyCache::watch() {
  std::chrono::milliseconds retry = timing_.firstRetry;
  while (!pause(std::chrono::milliseconds(0))) {
    std::string error;
    if (!available()) {
      if (pause(retry)) return;
      if (store_.reconnect(error) == StoreStatus::Ok && reloadAll(error) == StoreStatus::Ok) {
        log_.write("brindle: the properties store " + store_.describe() + " is back; every region reloaded\n");
        available_.store(true, std::memory_order_release);
        retry = timing_.firstRetry;
      } else {
        retry = std::min(retry * 2, timing_.lastRetry);
      }
      continue;
    }
    StoreChanges changes;
    StoreStatus status = store_.waitForChanges(timing_.watchInterval, changes, error);
    if (status == StoreStatus::Ok && changes.everything) {
      status = reloadAll(error);
    } else if (status == StoreStatus::Ok) {
      for (const std::string& name : std::set<std::string>(changes.regions.begin(), changes.regions.end()))
        if ((status = reloadRegion(name, error)) != StoreStatus::Ok) break;
    }
    if (status == StoreStatus::Unavailable) {
      markUnavailable(error);
    } else if (status == StoreStatus::Failed) {
      log_.write("brindle: reloading region properties failed: " + error + "\n");
      if (pause(timing_.lastRetry)) return;
    }
  }
}

}  // namespace bw
