// SQLite storage of region properties.
#include "engine/property_store.h"

#include <sqlite3.h>

namespace bw {
namespace {

// Finalizes a statement however the function that prepared it is left.
struct Statement {
  sqlite3_stmt* handle = nullptr;
  ~Statement() { sqlite3_finalize(handle); }
};

bool bindText(sqlite3_stmt* statement, int index, const std::string& text) {
  return sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()),
                           SQLITE_TRANSIENT) == SQLITE_OK;
}

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS region_property ("
    " region TEXT NOT NULL, name TEXT NOT NULL, value TEXT NOT NULL,"
    " PRIMARY KEY (region, name))";

}  // namespace

std::unique_ptr<PropertyStore> PropertyStore::open(const std::string& path, std::string& error) {
  std::unique_ptr<PropertyStore> store(new PropertyStore());
  if (sqlite3_open_v2(path.c_str(), &store->db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                      nullptr) != SQLITE_OK) {
    error = "cannot open the properties store " + path + ": " +
            (store->db_ ? sqlite3_errmsg(store->db_) : "out of memory");
    return nullptr;
  }
  sqlite3_busy_timeout(store->db_, 2000);
  if (!store->execute(kSchema, error)) {
    error = "cannot set up the properties store " + path + ": " + error;
    return nullptr;
  }
  return store;
}

PropertyStore::~PropertyStore() { sqlite3_close(db_); }

bool PropertyStore::execute(const char* sql, std::string& error) {
  char* message = nullptr;
  if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
  error = message ? message : sqlite3_errmsg(db_);
  sqlite3_free(message);
  return false;
}

bool PropertyStore::load(const std::string& region, RegionProperties& out, std::string& error) {
  out.region = region;
  out.values.clear();
  out.changes.clear();
  Statement s;
  if (sqlite3_prepare_v2(db_, "SELECT name, value FROM region_property WHERE region = ?1", -1,
                         &s.handle, nullptr) != SQLITE_OK ||
      !bindText(s.handle, 1, region)) {
    error = sqlite3_errmsg(db_);
    return false;
  }
  int rc;
  while ((rc = sqlite3_step(s.handle)) == SQLITE_ROW) {
    auto column = [&](int i) {
      return std::string(reinterpret_cast<const char*>(sqlite3_column_text(s.handle, i)),
                         static_cast<size_t>(sqlite3_column_bytes(s.handle, i)));
    };
    out.values[column(0)] = column(1);
  }
  if (rc != SQLITE_DONE) {
    error = sqlite3_errmsg(db_);
    return false;
  }
  return true;
}

bool PropertyStore::commit(const RegionProperties& properties, std::string& error) {
  if (properties.changes.empty()) return true;
  if (!execute("BEGIN IMMEDIATE", error)) return false;
  Statement upsert, remove;
  bool ok =
      sqlite3_prepare_v2(db_,
                         "INSERT INTO region_property (region, name, value) VALUES (?1, ?2, ?3)"
                         " ON CONFLICT (region, name) DO UPDATE SET value = excluded.value",
                         -1, &upsert.handle, nullptr) == SQLITE_OK &&
      sqlite3_prepare_v2(db_, "DELETE FROM region_property WHERE region = ?1 AND name = ?2", -1,
                         &remove.handle, nullptr) == SQLITE_OK;
  for (size_t i = 0; ok && i < properties.changes.size(); ++i) {
    const auto& change = properties.changes[i];
    sqlite3_stmt* s = change.second ? upsert.handle : remove.handle;
    sqlite3_reset(s);
    ok = bindText(s, 1, properties.region) && bindText(s, 2, change.first) &&
         (!change.second || bindText(s, 3, *change.second)) && sqlite3_step(s) == SQLITE_DONE;
  }
  if (!ok) {
    error = sqlite3_errmsg(db_);
    std::string ignored;
    execute("ROLLBACK", ignored);
    return false;
  }
  return execute("COMMIT", error);
}

}  // namespace bw
