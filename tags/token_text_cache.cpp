// The token text cache of the scanner: a direct-mapped table of recent short
// texts, indexed by a hash of their bytes.
#include "tags/token_text_cache.h"

#include <cstring>

namespace bw {

TokenTextCache::~TokenTextCache() = default;

void TokenTextCache::assign(QelString& text, const char* bytes, uint32_t count) {
  if (count > kLongestShared) {
    text.assign(bytes, count);
    return;
  }
  uint32_t hash = 2166136261u;
  for (uint32_t i = 0; i < count; ++i) {
    hash ^= static_cast<unsigned char>(bytes[i]);
    hash *= 16777619u;
  }
  QelString& slot = slots_[(hash ^ (hash >> 16)) % kSlots];
  if (slot.length() == count && std::memcmp(slot.data(), bytes, count) == 0) {
    text = slot;  // shares the representation
    return;
  }
  text.assign(bytes, count);
  slot = text;
}

}  // namespace bw
