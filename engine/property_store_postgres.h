// The PostgreSQL property store, for several servers that share one database.
//
// Every submission notifies the channel brindle_properties with its region
// as the payload (empty: reload everything); each server listens on its own
// connection and reloads what the notices name.  A lost database is found on
// that connection, and the cache reconnects through reconnect().
#ifndef BRINDLE_ENGINE_PROPERTY_STORE_POSTGRES_H
#define BRINDLE_ENGINE_PROPERTY_STORE_POSTGRES_H

#include <memory>
#include <string>

#include "engine/property_store.h"

namespace bw {

// The channel every server listens on.
constexpr const char* kPropertiesChannel = "brindle_properties";

// `connection` is what libpq takes: a postgresql:// URI, key=value pairs or
// a database name; empty for libpq's defaults (PGHOST, PGDATABASE...).
std::unique_ptr<PropertyStore> openPostgresPropertyStore(const std::string& connection,
                                                         std::string& error);

}  // namespace bw

#endif
