// The module-wide constants built when the library is loaded and destroyed
// when it is unloaded: the display name, the version-tracker address, the
// case-folded keys of the eight tag names and the tag-name list.
//
// They are built before the first request, from the runtime heap (the host's
// allocator is not installed yet), and never change afterwards, so every
// request may read them without copying.  Their texts are frozen at the
// first MIni (foundation/qel_string.h): calls running on several threads at
// once copy them without counting, so none of them ever writes to a table.
#ifndef BRINDLEWORK_HOST_MODULE_CONSTANTS_H
#define BRINDLEWORK_HOST_MODULE_CONSTANTS_H

#include <cstdint>

#include "foundation/name_key.h"
#include "foundation/qel_string.h"
#include "host/tag_table.h"

namespace bw {

// Built at the moment of registration, so they are plain texts here.
constexpr const char* kModuleVersion = "2.1.7";
constexpr const char* kModuleCompany = "Orrindale Software, Inc.";

const QelString& moduleDisplayName();
const QelString& versionTrackerUrl();

// The key of row's tag name (row < kTagCount).
const NameKey& tagKey(uint32_t row);

// The eight tag names in table order, followed by a null entry.
const char* const* tagNameList();

// The first row whose key equals NameKey(name), or kTagCount when none does:
// a row's own name (ignoring case) is found by comparing the bytes, any
// other name by its hash.
uint32_t findTagRow(const char* name, uint32_t length);

}  // namespace bw

#endif
