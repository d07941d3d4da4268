// PostgreSQL storage of region properties through libpq.
//
// Two connections: one for loads and submissions, shared by every thread
// under a lock, and one that only listens for notices, used by the cache's
// watcher thread alone.  A connection found broken is opened again once
// before an operation gives up, so that a database restarted between two
// submissions costs nothing; every operation is safe to repeat, since a
// submission sets or removes each property outright.
#include "engine/property_store_postgres.h"

#include <libpq-fe.h>
#include <poll.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <mutex>
#include <vector>

#include "engine/property_schema.h"

namespace bw {
namespace {

// Settings the user's connection string may override: a connection attempt
// gives up after a few seconds, and a peer that vanished without closing is
// noticed within about half a minute.
constexpr const char* kDefaultKeys[] = {"connect_timeout", "application_name", "keepalives_idle",
                                        "keepalives_interval", "keepalives_count"};
constexpr const char* kDefaultValues[] = {"5", "brindle", "10", "5", "3"};
constexpr size_t kDefaults = sizeof kDefaultKeys / sizeof kDefaultKeys[0];

// Advisory-lock class of this engine's transactions; the second key is 0
// for the schema and the region's hash for a submission, so that two
// submissions for one region run one after the other.
constexpr const char* kLockClass = "1113017168";

// A notice carries at most 8000 bytes; a longer region is announced with an
// empty payload, which has every listener reload everything.
constexpr size_t kMaxNoticeRegion = 7000;

struct ConnectionCloser {
  void operator()(PGconn* c) const { PQfinish(c); }
};
using Connection = std::unique_ptr<PGconn, ConnectionCloser>;
struct ResultClearer {
  void operator()(PGresult* r) const { PQclear(r); }
};
using Result = std::unique_ptr<PGresult, ResultClearer>;

// libpq's messages run over several lines; the log takes one.
std::string oneLine(const char* message) {
  std::string line;
  bool space = false;
  for (const char* p = message; p != nullptr && *p != '\0'; ++p) {
    if (*p == '\n' || *p == '\t' || *p == '\r' || *p == ' ') {
      space = !line.empty();
      continue;
    }
    if (space) line += ' ';
    space = false;
    line += *p;
  }
  return line.empty() ? "unknown error" : line;
}

void ignoreNotice(void*, const char*) {}

Connection connect(const std::string& connection, std::string& error) {
  const char* keys[kDefaults + 2];
  const char* values[kDefaults + 2];
  for (size_t i = 0; i < kDefaults; ++i) keys[i] = kDefaultKeys[i], values[i] = kDefaultValues[i];
  // The user's string comes last, expanded, so that its settings win.
  keys[kDefaults] = "dbname";
  values[kDefaults] = connection.c_str();
  keys[kDefaults + 1] = values[kDefaults + 1] = nullptr;
  Connection c(PQconnectdbParams(keys, values, 1));
  if (c == nullptr) {
    error = "out of memory";
    return nullptr;
  }
  if (PQstatus(c.get()) != CONNECTION_OK) {
    error = oneLine(PQerrorMessage(c.get()));
    return nullptr;
  }
  PQsetNoticeProcessor(c.get(), ignoreNotice, nullptr);  // "already exists, skipping"
  return c;
}

// A lost or closing connection may come back; anything else is a fault.
StoreStatus failureOf(PGconn* c, const PGresult* r, std::string& error) {
  const char* message = r != nullptr ? PQresultErrorMessage(r) : "";
  error = oneLine(*message != '\0' ? message : PQerrorMessage(c));
  if (PQstatus(c) != CONNECTION_OK) return StoreStatus::Unavailable;
  const char* state = r != nullptr ? PQresultErrorField(r, PG_DIAG_SQLSTATE) : nullptr;
  if (state != nullptr && (std::strncmp(state, "08", 2) == 0 || std::strncmp(state, "57P", 3) == 0))
    return StoreStatus::Unavailable;
  return StoreStatus::Failed;
}

// Runs one statement with text parameters; Ok with the result in `out`.
StoreStatus run(PGconn* c, const char* sql, std::initializer_list<const std::string*> params,
                std::string& error, Result* out = nullptr) {
  std::vector<const char*> texts;
  std::vector<int> lengths;
  for (const std::string* p : params) {
    texts.push_back(p->c_str());
    lengths.push_back(static_cast<int>(p->size()));
  }
  Result r(PQexecParams(c, sql, static_cast<int>(texts.size()), nullptr, texts.data(), lengths.data(),
                        nullptr, 0));
  ExecStatusType status = r != nullptr ? PQresultStatus(r.get()) : PGRES_FATAL_ERROR;
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) return failureOf(c, r.get(), error);
  if (out != nullptr) *out = std::move(r);
  return StoreStatus::Ok;
}

// Runs `body` between BEGIN and COMMIT, rolling back when it fails.
template <typename Body>
StoreStatus transaction(PGconn* c, std::string& error, Body body) {
  StoreStatus status = run(c, "BEGIN", {}, error);
  if (status == StoreStatus::Ok) status = body();
  if (status == StoreStatus::Ok) return run(c, "COMMIT", {}, error);
  std::string ignored;
  if (PQstatus(c) == CONNECTION_OK) run(c, "ROLLBACK", {}, ignored);
  return status;
}

std::string text(const PGresult* r, int row, int column) {
  return std::string(PQgetvalue(r, row, column), static_cast<size_t>(PQgetlength(r, row, column)));
}

StoreStatus setUpSchema(PGconn* c, std::string& error) {
  return transaction(c, error, [&] {
    Result r;
    StoreStatus status = run(c, (std::string("SELECT pg_advisory_xact_lock(") + kLockClass + ", 0)").c_str(),
                             {}, error);
    if (status == StoreStatus::Ok)
      status = run(c, "CREATE TABLE IF NOT EXISTS brindle_schema_version (version integer NOT NULL)", {},
                   error);
    if (status == StoreStatus::Ok)
      status = run(c, "SELECT coalesce(max(version), 0) FROM brindle_schema_version", {}, error, &r);
    if (status != StoreStatus::Ok) return status;
    int version = std::atoi(PQgetvalue(r.get(), 0, 0));
    if (version > kPropertySchemaVersion) {
      error = newerSchemaMessage(version);
      return StoreStatus::Failed;
    }
    for (int step = version; status == StoreStatus::Ok && step < kPropertySchemaVersion; ++step)
      status = run(c, kPropertySchemaSteps[step], {}, error);
    if (status == StoreStatus::Ok && version < kPropertySchemaVersion) {
      const std::string latest = std::to_string(kPropertySchemaVersion);
      status = run(c, "DELETE FROM brindle_schema_version", {}, error);
      if (status == StoreStatus::Ok)
        status = run(c, "INSERT INTO brindle_schema_version (version) VALUES ($1::integer)", {&latest}, error);
    }
    return status;
  });
}

class PostgresPropertyStore final : public PropertyStore {
 public:
  explicit PostgresPropertyStore(std::string connection) : connection_(std::move(connection)) {}

  bool open(std::string& error);
  std::string describe() const override { return description_; }
  StoreStatus load(const std::string& region, RegionProperties& out, std::string& error) override;
  StoreStatus loadAll(RegionTable& out, std::string& error) override;
  StoreStatus commit(const RegionProperties& properties, std::string& error) override;
  StoreStatus waitForChanges(std::chrono::milliseconds timeout, StoreChanges& changes,
                             std::string& error) override;
  StoreStatus reconnect(std::string& error) override;

 private:
  // Opens the shared connection and makes sure the schema is current.
  StoreStatus connectShared(std::string& error);
  StoreStatus listen(std::string& error);
  // Runs op(connection) under the lock, on a connection opened again once
  // when the one it had is found broken.
  template <typename Op>
  StoreStatus withShared(std::string& error, Op op);

  std::string connection_;
  std::string description_;
  std::mutex sharedLock_;
  Connection shared_;
  Connection listener_;  // the watcher thread's alone
};

StoreStatus PostgresPropertyStore::connectShared(std::string& error) {
  shared_.reset();
  Connection c = connect(connection_, error);
  if (c == nullptr) return StoreStatus::Unavailable;
  StoreStatus status = setUpSchema(c.get(), error);
  if (status != StoreStatus::Ok) return status;
  shared_ = std::move(c);
  return StoreStatus::Ok;
}

StoreStatus PostgresPropertyStore::listen(std::string& error) {
  listener_.reset();
  Connection c = connect(connection_, error);
  if (c == nullptr) return StoreStatus::Unavailable;
  StoreStatus status = run(c.get(), (std::string("LISTEN ") + kPropertiesChannel).c_str(), {}, error);
  if (status == StoreStatus::Ok) listener_ = std::move(c);
  return status;
}

bool PostgresPropertyStore::open(std::string& error) {
  std::string reason;
  StoreStatus status;
  {
    std::lock_guard<std::mutex> guard(sharedLock_);
    status = connectShared(reason);
    if (status == StoreStatus::Ok) {
      const char* host = PQhost(shared_.get());
      description_ = std::string("PostgreSQL database ") + PQdb(shared_.get()) + " on " +
                     (host != nullptr && *host != '\0' ? host : "localhost") + ":" + PQport(shared_.get()) +
                     " as " + PQuser(shared_.get());
    }
  }
  if (status == StoreStatus::Ok) status = listen(reason);
  if (status == StoreStatus::Ok) return true;
  error = "cannot open the properties store (PostgreSQL): " + reason;
  return false;
}

template <typename Op>
StoreStatus PostgresPropertyStore::withShared(std::string& error, Op op) {
  std::lock_guard<std::mutex> guard(sharedLock_);
  for (int attempt = 0;; ++attempt) {
    if (shared_ == nullptr || PQstatus(shared_.get()) != CONNECTION_OK) {
      StoreStatus status = connectShared(error);
      if (status != StoreStatus::Ok) return status;
    }
    StoreStatus status = op(shared_.get());
    if (status != StoreStatus::Unavailable || attempt == 1 || PQstatus(shared_.get()) == CONNECTION_OK)
      return status;
  }
}

StoreStatus PostgresPropertyStore::load(const std::string& region, RegionProperties& out,
                                        std::string& error) {
  out.region = region;
  out.values.clear();
  out.changes.clear();
  return withShared(error, [&](PGconn* c) {
    Result r;
    StoreStatus status = run(c, "SELECT name, value FROM region_property WHERE region = $1", {&region},
                             error, &r);
    if (status != StoreStatus::Ok) return status;
    for (int row = 0, rows = PQntuples(r.get()); row < rows; ++row)
      out.values[text(r.get(), row, 0)] = text(r.get(), row, 1);
    return status;
  });
}

StoreStatus PostgresPropertyStore::loadAll(RegionTable& out, std::string& error) {
  out.clear();
  return withShared(error, [&](PGconn* c) {
    Result r;
    StoreStatus status = run(c, "SELECT region, name, value FROM region_property", {}, error, &r);
    if (status != StoreStatus::Ok) return status;
    for (int row = 0, rows = PQntuples(r.get()); row < rows; ++row)
      out[text(r.get(), row, 0)][text(r.get(), row, 1)] = text(r.get(), row, 2);
    return status;
  });
}

StoreStatus PostgresPropertyStore::commit(const RegionProperties& properties, std::string& error) {
  if (properties.changes.empty()) return StoreStatus::Ok;
  const std::string& region = properties.region;
  const std::string payload = region.size() <= kMaxNoticeRegion ? region : std::string();
  const std::string lock = std::string("SELECT pg_advisory_xact_lock(") + kLockClass + ", hashtext($1))";
  const std::string notify = std::string("SELECT pg_notify('") + kPropertiesChannel + "', $1)";
  return withShared(error, [&](PGconn* c) {
    return transaction(c, error, [&] {
      StoreStatus status = run(c, lock.c_str(), {&region}, error);
      for (size_t i = 0; status == StoreStatus::Ok && i < properties.changes.size(); ++i) {
        const auto& change = properties.changes[i];
        status = change.second
                     ? run(c,
                           "INSERT INTO region_property (region, name, value) VALUES ($1, $2, $3)"
                           " ON CONFLICT (region, name) DO UPDATE SET value = excluded.value",
                           {&region, &change.first, &*change.second}, error)
                     : run(c, "DELETE FROM region_property WHERE region = $1 AND name = $2",
                           {&region, &change.first}, error);
      }
      // Delivered to every listener, this server's too, when the
      // transaction commits, and not at all when it does not.
      if (status == StoreStatus::Ok) status = run(c, notify.c_str(), {&payload}, error);
      return status;
    });
  });
}

StoreStatus PostgresPropertyStore::waitForChanges(std::chrono::milliseconds timeout,
                                                  StoreChanges& changes, std::string& error) {
  PGconn* c = listener_.get();
  if (c == nullptr || PQstatus(c) != CONNECTION_OK) {
    error = c != nullptr ? oneLine(PQerrorMessage(c)) : "the listening connection is closed";
    return StoreStatus::Unavailable;
  }
  auto collect = [&] {
    while (PGnotify* notice = PQnotifies(c)) {
      if (notice->extra == nullptr || *notice->extra == '\0')
        changes.everything = true;
      else
        changes.regions.emplace_back(notice->extra);
      PQfreemem(notice);
    }
  };
  collect();
  if (changes.any()) return StoreStatus::Ok;
  pollfd ready{PQsocket(c), POLLIN, 0};
  int count = ::poll(&ready, 1, static_cast<int>(timeout.count()));
  if (count < 0 && errno != EINTR) {
    error = std::string("waiting for notices: ") + std::strerror(errno);
    return StoreStatus::Unavailable;
  }
  if (count > 0 && PQconsumeInput(c) == 0) {
    error = oneLine(PQerrorMessage(c));
    return StoreStatus::Unavailable;
  }
  collect();
  if (PQstatus(c) != CONNECTION_OK) {
    error = oneLine(PQerrorMessage(c));
    return StoreStatus::Unavailable;
  }
  return StoreStatus::Ok;
}

StoreStatus PostgresPropertyStore::reconnect(std::string& error) {
  StoreStatus status;
  {
    std::lock_guard<std::mutex> guard(sharedLock_);
    status = connectShared(error);
  }
  return status == StoreStatus::Ok ? listen(error) : status;
}

}  // namespace

std::unique_ptr<PropertyStore> openPostgresPropertyStore(const std::string& connection,
                                                         std::string& error) {
  auto store = std::make_unique<PostgresPropertyStore>(connection);
  if (!store->open(error)) return nullptr;
  return store;
}

}  // namespace bw
