// The SQLite property store: one file, the default for a single server.
//
// Other processes that write the same file are noticed by SQLite's data
// version, read when the cache's watcher asks (a few times a second), never
// per request.
#ifndef BRINDLE_ENGINE_PROPERTY_STORE_SQLITE_H
#define BRINDLE_ENGINE_PROPERTY_STORE_SQLITE_H

#include <memory>
#include <string>

#include "engine/property_store.h"

namespace bw {

std::unique_ptr<PropertyStore> openSqlitePropertyStore(const std::string& path, std::string& error);

}  // namespace bw

#endif
