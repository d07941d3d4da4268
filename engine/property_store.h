// Region properties kept in SQLite: one row per region and name.
//
// render uses an in-memory database unless --props names a file; serve keeps
// brindle.db beside the site root by default.  The changes a properties
// submission makes are stored in one transaction, so a crash never leaves
// half of them.
#ifndef BRINDLE_ENGINE_PROPERTY_STORE_H
#define BRINDLE_ENGINE_PROPERTY_STORE_H

#include <memory>
#include <string>

#include "engine/host_session.h"

struct sqlite3;

namespace bw {

class PropertyStore {
 public:
  // ":memory:" for a store that lives as long as the object.  Null with a
  // message in `error` when the file cannot be opened or set up.
  static std::unique_ptr<PropertyStore> open(const std::string& path, std::string& error);
  ~PropertyStore();
  PropertyStore(const PropertyStore&) = delete;
  PropertyStore& operator=(const PropertyStore&) = delete;

  // Every stored property of the region; `changes` starts empty.
  bool load(const std::string& region, RegionProperties& out, std::string& error);
  // Applies out.changes in order, in one transaction; on failure nothing changes.
  bool commit(const RegionProperties& properties, std::string& error);

 private:
  PropertyStore() = default;
  bool execute(const char* sql, std::string& error);
  sqlite3* db_ = nullptr;
};

}  // namespace bw

#endif
