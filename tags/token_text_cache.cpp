// The token text cache of the scanner: a direct-mapped table of recent short
// texts, indexed by a quick hash of their ends.
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
  // The slot comes from the length and the first and last eight bytes, not
  // a walk over every byte: a poor spread only costs an extra comparison.
  uint64_t head = 0;
  uint64_t end = 0;
  std::memcpy(&head, bytes, count < 8 ? count : 8);
  if (count > 8) std::memcpy(&end, bytes + count - 8, 8);
  const uint64_t mixed = (head * 0x9E3779B97F4A7C15ull) ^ (end * 0xC2B2AE3D27D4EB4Full) ^ count;
  const uint32_t index = static_cast<uint32_t>(mixed >> 58);  // 6 bits: kSlots is 64
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
