// The keywords the module knows (relationship names and symbols, string
// modes, orders), registered once at load by the tables that hold them.
//
// A keyword parameter written exactly as a known keyword then shares the key
// built at load instead of building a string and a hash of its own; any
// other text (another letter case included, whose key must keep the text as
// written) is made into a key as before, so the result is the same key.
#ifndef BRINDLEWORK_FOUNDATION_KNOWN_KEYWORDS_H
#define BRINDLEWORK_FOUNDATION_KNOWN_KEYWORDS_H

#include <cstdint>

#include "foundation/name_key.h"

namespace bw {

// Load time only (static constructors); the key must live for the whole
// process.  Keys past the table's room are simply not shared.
void registerKnownKeyword(const NameKey& key);

// The registered key whose text is exactly these bytes, or null.
const NameKey* findKnownKeyword(const char* bytes, uint32_t count);

}  // namespace bw

#endif
