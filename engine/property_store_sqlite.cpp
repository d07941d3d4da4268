// SQLite storage of region properties.
//
// One connection serves every thread, under one lock: the store is read at
// start, on changes and by the administrator's page, never per request.
#include "engine/property_store_sqlite.h"

#include <sqlite3.h>

#include <cstdint>
#include <mutex>
#include <thread>

#include "engine/property_schema.h"

namespace bw {
namespace {

// How long a writer waits for another process's transaction before the
// store counts as unavailable.
constexpr int kBusyWaitMs = 2000;

// Finalizes a statement however the function that prepared it is left.
struct Statement {
  sqlite3_stmt* handle = nullptr;
  ~Statement() { sqlite3_finalize(handle); }
};

bool bindText(sqlite3_stmt* statement, int index, const std::string& text) {
  return sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()),
                           SQLITE_TRANSIENT) == SQLITE_OK;
}

std::string columnText(sqlite3_stmt* statement, int i) {
  return std::string(reinterpret_cast<const char*>(sqlite3_column_text(statement, i)),
                     static_cast<size_t>(sqlite3_column_bytes(statement, i)));
}

// A locked database may be free again soon; anything else is a fault.
StoreStatus statusFor(int rc) {
  int primary = rc & 0xff;
  return primary == SQLITE_BUSY || primary == SQLITE_LOCKED ? StoreStatus::Unavailable
                                                            : StoreStatus::Failed;
}

class SqlitePropertyStore final : public PropertyStore {
 public:
  explicit SqlitePropertyStore(std::string path) : path_(std::move(path)) {}
  ~SqlitePropertyStore() override { sqlite3_close(db_); }

  bool open(std::string& error);
  std::string describe() const override { return path_; }
  StoreStatus load(const std::string& region, RegionProperties& out, std::string& error) override;
  StoreStatus loadAll(RegionTable& out, std::string& error) override;
  StoreStatus commit(const RegionProperties& properties, std::string& error) override;
  StoreStatus waitForChanges(std::chrono::milliseconds timeout, StoreChanges& changes,
                             std::string& error) override;
  StoreStatus reconnect(std::string&) override { return StoreStatus::Ok; }

 private:
  StoreStatus execute(const char* sql, std::string& error);
  StoreStatus migrate(std::string& error);
  StoreStatus failure(int rc, std::string& error) {
    error = sqlite3_errmsg(db_);
    return statusFor(rc);
  }
  bool readDataVersion(int64_t& version);
  template <typename Row>
  StoreStatus select(const char* sql, const std::string* region, Row row, std::string& error);

  std::string path_;
  sqlite3* db_ = nullptr;
  std::mutex lock_;
  int64_t dataVersion_ = 0;
};

bool SqlitePropertyStore::open(std::string& error) {
  if (sqlite3_open_v2(path_.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
      SQLITE_OK) {
    error = "cannot open the properties store " + path_ + ": " +
            (db_ ? sqlite3_errmsg(db_) : "out of memory");
    return false;
  }
  sqlite3_busy_timeout(db_, kBusyWaitMs);
  if (migrate(error) != StoreStatus::Ok) {
    error = "cannot set up the properties store " + path_ + ": " + error;
    return false;
  }
  readDataVersion(dataVersion_);
  return true;
}

StoreStatus SqlitePropertyStore::execute(const char* sql, std::string& error) {
  char* message = nullptr;
  int rc = sqlite3_exec(db_, sql, nullptr, nullptr, &message);
  if (rc == SQLITE_OK) return StoreStatus::Ok;
  error = message ? message : sqlite3_errmsg(db_);
  sqlite3_free(message);
  return statusFor(rc);
}

StoreStatus SqlitePropertyStore::migrate(std::string& error) {
  StoreStatus status = execute("BEGIN IMMEDIATE", error);
  if (status != StoreStatus::Ok) return status;
  int version = 0;
  status = select("PRAGMA user_version", nullptr,
                  [&](sqlite3_stmt* s) { version = sqlite3_column_int(s, 0); }, error);
  if (status == StoreStatus::Ok && version > kPropertySchemaVersion) {
    error = newerSchemaMessage(version);
    status = StoreStatus::Failed;
  }
  for (int step = version; status == StoreStatus::Ok && step < kPropertySchemaVersion; ++step)
    status = execute(kPropertySchemaSteps[step], error);
  if (status == StoreStatus::Ok && version < kPropertySchemaVersion)
    status = execute(("PRAGMA user_version = " + std::to_string(kPropertySchemaVersion)).c_str(), error);
  if (status == StoreStatus::Ok) return execute("COMMIT", error);
  std::string ignored;
  execute("ROLLBACK", ignored);
  return status;
}

template <typename Row>
StoreStatus SqlitePropertyStore::select(const char* sql, const std::string* region, Row row,
                                        std::string& error) {
  Statement s;
  int rc = sqlite3_prepare_v2(db_, sql, -1, &s.handle, nullptr);
  if (rc != SQLITE_OK) return failure(rc, error);
  if (region != nullptr && !bindText(s.handle, 1, *region)) return failure(SQLITE_ERROR, error);
  while ((rc = sqlite3_step(s.handle)) == SQLITE_ROW) row(s.handle);
  return rc == SQLITE_DONE ? StoreStatus::Ok : failure(rc, error);
}

StoreStatus SqlitePropertyStore::load(const std::string& region, RegionProperties& out,
                                      std::string& error) {
  std::lock_guard<std::mutex> guard(lock_);
  out.region = region;
  out.values.clear();
  out.changes.clear();
  return select("SELECT name, value FROM region_property WHERE region = ?1", &region,
                [&](sqlite3_stmt* s) { out.values[columnText(s, 0)] = columnText(s, 1); }, error);
}

StoreStatus SqlitePropertyStore::loadAll(RegionTable& out, std::string& error) {
  std::lock_guard<std::mutex> guard(lock_);
  out.clear();
  return select("SELECT region, name, value FROM region_property", nullptr,
                [&](sqlite3_stmt* s) { out[columnText(s, 0)][columnText(s, 1)] = columnText(s, 2); },
                error);
}

StoreStatus SqlitePropertyStore::commit(const RegionProperties& properties, std::string& error) {
  if (properties.changes.empty()) return StoreStatus::Ok;
  std::lock_guard<std::mutex> guard(lock_);
  // IMMEDIATE takes the write lock first, so two processes' submissions
  // for one region run one after the other and never interleave.
  StoreStatus status = execute("BEGIN IMMEDIATE", error);
  if (status != StoreStatus::Ok) return status;
  Statement upsert, remove;
  int rc = sqlite3_prepare_v2(db_,
                              "INSERT INTO region_property (region, name, value) VALUES (?1, ?2, ?3)"
                              " ON CONFLICT (region, name) DO UPDATE SET value = excluded.value",
                              -1, &upsert.handle, nullptr);
  if (rc == SQLITE_OK)
    rc = sqlite3_prepare_v2(db_, "DELETE FROM region_property WHERE region = ?1 AND name = ?2", -1,
                            &remove.handle, nullptr);
  for (size_t i = 0; rc == SQLITE_OK && i < properties.changes.size(); ++i) {
    const auto& change = properties.changes[i];
    sqlite3_stmt* s = change.second ? upsert.handle : remove.handle;
    sqlite3_reset(s);
    if (!bindText(s, 1, properties.region) || !bindText(s, 2, change.first) ||
        (change.second && !bindText(s, 3, *change.second))) {
      rc = SQLITE_ERROR;
      break;
    }
    rc = sqlite3_step(s);
    if (rc == SQLITE_DONE) rc = SQLITE_OK;
  }
  if (rc != SQLITE_OK) {
    status = failure(rc, error);
    std::string ignored;
    execute("ROLLBACK", ignored);
    return status;
  }
  return execute("COMMIT", error);
}

bool SqlitePropertyStore::readDataVersion(int64_t& version) {
  std::string ignored;
  return select("PRAGMA data_version", nullptr,
                [&](sqlite3_stmt* s) { version = sqlite3_column_int64(s, 0); },
                ignored) == StoreStatus::Ok;
}

StoreStatus SqlitePropertyStore::waitForChanges(std::chrono::milliseconds timeout,
                                                StoreChanges& changes, std::string& error) {
  // The data version moves when another connection commits to the file,
  // not for this connection's own commits, which the cache applies itself.
  std::this_thread::sleep_for(timeout);
  std::lock_guard<std::mutex> guard(lock_);
  int64_t version = 0;
  if (!readDataVersion(version)) {
    error = sqlite3_errmsg(db_);
    return StoreStatus::Unavailable;
  }
  if (version != dataVersion_) changes.everything = true;
  dataVersion_ = version;
  return StoreStatus::Ok;
}

}  // namespace

std::unique_ptr<PropertyStore> openSqlitePropertyStore(const std::string& path, std::string& error) {
  auto store = std::make_unique<SqlitePropertyStore>(path);
  if (!store->open(error)) return nullptr;
  return store;
}

}  // namespace bw
