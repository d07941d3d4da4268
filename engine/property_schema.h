// The properties table, as both stores create it, one step per version.
//
// A store stamped with version N has run steps 1..N (SQLite keeps N in
// PRAGMA user_version, PostgreSQL in the table brindle_schema_version).  A
// later release that changes the table appends a step, which every store
// runs once, in the same transaction that stamps the new version; a store
// stamped with a version newer than this engine knows is refused rather
// than misread.  The statements are plain SQL that both databases take.
#ifndef BRINDLE_ENGINE_PROPERTY_SCHEMA_H
#define BRINDLE_ENGINE_PROPERTY_SCHEMA_H

#include <string>

namespace bw {

constexpr const char* kPropertySchemaSteps[] = {
    /* 1 */ "CREATE TABLE IF NOT EXISTS region_property ("
            " region TEXT NOT NULL, name TEXT NOT NULL, value TEXT NOT NULL,"
            " PRIMARY KEY (region, name))",
};
constexpr int kPropertySchemaVersion =
    static_cast<int>(sizeof kPropertySchemaSteps / sizeof kPropertySchemaSteps[0]);

inline std::string newerSchemaMessage(int version) {
  return "its schema version is " + std::to_string(version) + ", newer than this brindle's " +
         std::to_string(kPropertySchemaVersion);
}

}  // namespace bw

#endif
