// The token text cache of the scanner: a direct-mapped table of recent short
// texts, indexed by a hash of their bytes.
#include "tags/token_text_cache.h"

#include <cstring>
#include <new>

namespace bw {

TokenTextCache::~TokenTextCache() {
  for (uint64_t left = built_; left != 0; left &= left - 1) {
    slot(static_cast<uint32_t>(__builtin_ctzll(left))).~QelString();
  }
}

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
  const uint32_t index = (hash ^ (hash >> 16)) % kSlots;
  const uint64_t bit = uint64_t{1} << index;
  if (built_ & bit) {
    QelString& cached = slot(index);
    if (cached.length() == count && std::memcmp(cached.data(), bytes, count) == 0) {
      text = cached;  // shares the representation
      return;
    }
    text.assign(bytes, count);
    cached = text;
    return;
  }
  text.assign(bytes, count);
  ::new (static_cast<void*>(storage_ + index * sizeof(QelString))) QelString(text);
  built_ |= bit;
}

}  // namespace bw
