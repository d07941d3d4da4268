// TokenTextCache: lets tokens with the same short text share one string
// representation while a body is scanned.
//
// Markup repeats itself ("</td>", "<tr>", "</qelIf>"), and every token text
// of its own would be two blocks from the heap.  Texts are copy on write, so
// sharing is invisible: a token whose text is changed later (merge) gets its
// own copy at that moment.  The cache remembers the most recent text per
// slot and lives only for the scan.  A slot's string is built the first time
// a text lands in it, so a short body pays only for the slots it uses.
#ifndef BRINDLEWORK_TAGS_TOKEN_TEXT_CACHE_H
#define BRINDLEWORK_TAGS_TOKEN_TEXT_CACHE_H

#include <cstdint>

#include "foundation/object.h"
#include "foundation/qel_string.h"

namespace bw {

class TokenTextCache : public QELObject {
 public:
  // Texts longer than this are never shared: they seldom repeat, and
  // comparing them would cost more than it saves.
  static constexpr uint32_t kLongestShared = 32;

  TokenTextCache() = default;
  ~TokenTextCache() override;  // destroys the slots that were built
  TokenTextCache(const TokenTextCache&) = delete;
  TokenTextCache& operator=(const TokenTextCache&) = delete;

  // Makes text hold the bytes, sharing an earlier equal text when there is one.
  void assign(QelString& text, const char* bytes, uint32_t count);

 private:
  static constexpr uint32_t kSlots = 64;
  static_assert(kSlots == 64, "one bit of built_ per slot, six bits of hash");
  QelString& slot(uint32_t index) {
    return *reinterpret_cast<QelString*>(storage_ + index * sizeof(QelString));
  }
  uint64_t built_ = 0;  // bit i: slot i holds a constructed string
  alignas(QelString) unsigned char storage_[kSlots * sizeof(QelString)];
};

}  // namespace bw

#endif
