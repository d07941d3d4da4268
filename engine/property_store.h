// Where region properties are kept between runs, behind one interface.
//
// Two stores implement it: SQLite, a file beside the site and the default,
// for one server; and PostgreSQL, for several servers that share one
// database.  The --props value chooses (storeKindFor): a value beginning
// "postgresql:" or "postgres:" names a database, anything else an SQLite
// file (":memory:" for one that lives as long as the store).
//
// Both keep one table, region_property (region, name, value), stamped with a
// schema version that a later release migrates from; both store the changes
// of one properties submission in one transaction, so that a submission is
// never half applied, and two submissions for one region never mix.
//
// A store may be called from several threads; it serialises what its
// connection needs.  Servers do not read it per request: they read the
// in-memory copy of property_cache.h, which waits here for changes made by
// other processes.
#ifndef BRINDLE_ENGINE_PROPERTY_STORE_H
#define BRINDLE_ENGINE_PROPERTY_STORE_H

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/host_session.h"

namespace bw {

// Ok; Unavailable when the store cannot be reached now and may be later (a
// database that is down or a file locked past the wait), which a server
// answers with 503; Failed for anything else.
enum class StoreStatus { Ok, Unavailable, Failed };

enum class StoreKind { SQLite, PostgreSQL };
StoreKind storeKindFor(const std::string& location);

// Every stored property, by region and name.
using RegionTable = std::map<std::string, std::map<std::string, std::string>>;

// What other processes changed while a store waited.
struct StoreChanges {
  bool everything = false;           // reload every region
  std::vector<std::string> regions;  // otherwise these, possibly repeated
  bool any() const { return everything || !regions.empty(); }
};

class PropertyStore {
 public:
  // Opens and sets up the store `location` names; null, with the reason in
  // `error`, when it cannot be reached or set up.
  static std::unique_ptr<PropertyStore> open(const std::string& location, std::string& error);
  virtual ~PropertyStore() = default;

  // For the log: the file, or the database without its password.
  virtual std::string describe() const = 0;

  // Every stored property of the region; `changes` starts empty.
  virtual StoreStatus load(const std::string& region, RegionProperties& out, std::string& error) = 0;
  virtual StoreStatus loadAll(RegionTable& out, std::string& error) = 0;
  // Applies properties.changes in order, in one transaction; on failure
  // nothing changes.
  virtual StoreStatus commit(const RegionProperties& properties, std::string& error) = 0;

  // Waits up to `timeout` for changes committed by other connections, and
  // says which.  Unavailable when the store was lost; the caller then calls
  // reconnect until it answers Ok, and reloads everything.  One thread at a
  // time waits.
  virtual StoreStatus waitForChanges(std::chrono::milliseconds timeout, StoreChanges& changes,
                                     std::string& error) = 0;
  virtual StoreStatus reconnect(std::string& error) = 0;

 protected:
  PropertyStore() = default;
  PropertyStore(const PropertyStore&) = delete;
  PropertyStore& operator=(const PropertyStore&) = delete;
};

}  // namespace bw

#endif
