// Region properties held in memory, for servers that render on many threads.
//
// Requests read the properties of their region from here and never from the
// store: a read takes a shared lock for as long as it takes to copy one
// pointer, and what it gets is an immutable snapshot that stays valid
// however long the render runs.  A watcher thread waits on the store for
// changes made by other processes (SQLite's data version, PostgreSQL's
// notices) and installs the regions they name; a submission made through
// this cache is installed before store() returns.
//
// When the store goes away the snapshots stay as last seen (the loss is
// logged once), store() refuses with Unavailable and changes nothing, and
// the watcher reconnects with a growing delay, then reloads every region,
// since notices sent meanwhile were lost.
#ifndef BRINDLE_ENGINE_PROPERTY_CACHE_H
#define BRINDLE_ENGINE_PROPERTY_CACHE_H

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <thread>

#include "engine/property_store.h"
#include "engine/shared_log.h"

namespace bw {

struct PropertyCacheTiming {
  // How long the watcher waits on the store per round: how often SQLite's
  // data version is read, and how soon the watcher sees that it must stop.
  std::chrono::milliseconds watchInterval{250};
  // Delays between reconnection attempts: the first, doubled after each
  // failure up to the last.
  std::chrono::milliseconds firstRetry{100};
  std::chrono::milliseconds lastRetry{2000};
};

class PropertyCache {
 public:
  // Loads every region and starts the watcher; null, with the reason in
  // `error`, when the store cannot be read.  `store` and `log` must outlive
  // the cache.  The watcher takes no process signals.
  static std::unique_ptr<PropertyCache> start(PropertyStore& store, SharedLog& log, std::string& error,
                                              PropertyCacheTiming timing = {});
  ~PropertyCache();
  PropertyCache(const PropertyCache&) = delete;
  PropertyCache& operator=(const PropertyCache&) = delete;

  // The region's properties as last seen; never null.  Any thread.
  std::shared_ptr<const RegionProperties> region(const std::string& name) const;
  // False while the store is unreachable.
  bool available() const { return available_.load(std::memory_order_acquire); }
  // Stores the changes of `edited` (a copy of a region with changes made)
  // and installs the region as stored.  Unavailable, with nothing changed,
  // while the store is unreachable.
  StoreStatus store(const RegionProperties& edited, std::string& error);

 private:
  PropertyCache(PropertyStore& store, SharedLog& log, PropertyCacheTiming timing);
  StoreStatus reloadAll(std::string& error);
  StoreStatus reloadRegion(const std::string& name, std::string& error);
  void install(const std::string& name, std::map<std::string, std::string> values);
  void watch();
  // Sleeps up to `delay`; true when the cache is stopping.
  bool pause(std::chrono::milliseconds delay);
  void markUnavailable(const std::string& reason);

  PropertyStore& store_;
  SharedLog& log_;
  const PropertyCacheTiming timing_;
  const std::shared_ptr<const RegionProperties> empty_;

  mutable std::shared_mutex snapshotLock_;
  std::map<std::string, std::shared_ptr<const RegionProperties>> regions_;
  // Held from a read of the store to the install of what it read, so that
  // an older read is never installed over a newer one.
  std::mutex reloadLock_;
  std::atomic<bool> available_{true};

  std::mutex stopLock_;
  std::condition_variable stopSignal_;
  bool stopping_ = false;
  std::thread watcher_;
};

}  // namespace bw

#endif
