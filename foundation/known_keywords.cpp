// The known-keyword table: open addressing on the keys' hashes, filled at
// load and only read afterwards.
#include "foundation/known_keywords.h"

#include <cstring>

namespace bw {

namespace {

constexpr uint32_t kSlots = 128;  // a power of two, well above the module's keywords
const NameKey* gKnown[kSlots] = {};  // constant-initialised: ready before any table registers
uint32_t gCount = 0;

}  // namespace

void registerKnownKeyword(const NameKey& key) {
  if (key.text().isEmpty() || gCount * 2 >= kSlots) return;
  uint32_t slot = key.hash() & (kSlots - 1);
  while (gKnown[slot] != nullptr) {
    if (gKnown[slot]->hash() == key.hash() && gKnown[slot]->text().equals(key.text())) return;
    slot = (slot + 1) & (kSlots - 1);
  }
  gKnown[slot] = &key;
  ++gCount;
}

const NameKey* findKnownKeyword(const char* bytes, uint32_t count, uint32_t hash) {
  for (uint32_t slot = hash & (kSlots - 1); gKnown[slot] != nullptr; slot = (slot + 1) & (kSlots - 1)) {
    const NameKey& key = *gKnown[slot];
    if (key.hash() == hash && key.text().length() == count &&
        std::memcmp(key.text().data(), bytes, count) == 0) {
      return &key;
    }
  }
  return nullptr;
}

}  // namespace bw
