// The known-keyword table: open addressing on the keywords' exact bytes,
// filled at load and only read afterwards.
#include "foundation/known_keywords.h"

#include <cstring>

namespace bw {

namespace {

constexpr uint32_t kSlots = 128;  // a power of two, well above the module's keywords
const NameKey* gKnown[kSlots] = {};  // constant-initialised: ready before any table registers
uint32_t gCount = 0;

// The slot of a text, from its exact bytes: lookups need no hash of the
// text, which a parameter that is found never has to compute.
uint32_t homeSlot(const char* bytes, uint32_t count) {
  const unsigned char first = static_cast<unsigned char>(bytes[0]);
  const unsigned char last = static_cast<unsigned char>(bytes[count - 1]);
  return (count * 37u + first * 7u + last) & (kSlots - 1);
}

}  // namespace

void registerKnownKeyword(const NameKey& key) {
  if (key.text().isEmpty() || gCount * 2 >= kSlots) return;
  uint32_t slot = homeSlot(key.text().data(), key.text().length());
  while (gKnown[slot] != nullptr) {
    if (gKnown[slot]->hash() == key.hash() && gKnown[slot]->text().equals(key.text())) return;
    slot = (slot + 1) & (kSlots - 1);
  }
  gKnown[slot] = &key;
  ++gCount;
}

const NameKey* findKnownKeyword(const char* bytes, uint32_t count) {
  if (count == 0) return nullptr;
  for (uint32_t slot = homeSlot(bytes, count); gKnown[slot] != nullptr; slot = (slot + 1) & (kSlots - 1)) {
    const NameKey& key = *gKnown[slot];
    if (key.text().length() == count && std::memcmp(key.text().data(), bytes, count) == 0) {
      return &key;
    }
  }
  return nullptr;
}

}  // namespace bw
