// Chooses the property store a --props value names.
#include "engine/property_store.h"

#include "engine/property_store_postgres.h"
#include "engine/property_store_sqlite.h"

namespace bw {
namespace {

// Prefixes that name a PostgreSQL database.  After the prefix comes what
// libpq takes: "//…" keeps the whole value as a URI; anything else (key=value
// pairs, a database name, nothing for libpq's defaults) is handed over as it
// is.
constexpr const char* kPostgresPrefixes[] = {"postgresql:", "postgres:"};

// True, with libpq's connection string, when `location` names a database.
bool postgresConnection(const std::string& location, std::string& connection) {
  for (const std::string prefix : kPostgresPrefixes) {
    if (location.compare(0, prefix.size(), prefix) != 0) continue;
    std::string rest = location.substr(prefix.size());
    connection = rest.compare(0, 2, "//") == 0 ? location : rest;
    return true;
  }
  return false;
}

}  // namespace

StoreKind storeKindFor(const std::string& location) {
  std::string connection;
  return postgresConnection(location, connection) ? StoreKind::PostgreSQL : StoreKind::SQLite;
}

std::unique_ptr<PropertyStore> PropertyStore::open(const std::string& location, std::string& error) {
  std::string connection;
  if (postgresConnection(location, connection)) return openPostgresPropertyStore(connection, error);
  return openSqlitePropertyStore(location, error);
}

}  // namespace bw
