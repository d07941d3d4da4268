// OpenTagIndex: the unpaired opening tags an end tag can still reach, kept
// while a body is scanned so that pairing never walks back over the body.
//
// An end tag pairs with the nearest earlier unpaired opening tag of its name
// and kind that is not inside an already paired block.  Once a pair forms,
// every opening tag between its two ends is out of reach for good, because
// any later walk jumps over the pair as a whole.  So the reachable opening
// tags form a stack in body order: a new opening tag is pushed, and a pair
// pops its opening tag and everything above it.  Beside the stack, the
// reachable tags of each name and kind are chained newest first, so the
// candidates for an end tag are found without looking at other names.  Each
// opening tag is pushed and popped once, which makes pairing linear in the
// number of tokens for every ordinary body.
#ifndef BRINDLEWORK_TAGS_OPEN_TAG_INDEX_H
#define BRINDLEWORK_TAGS_OPEN_TAG_INDEX_H

#include <cstdint>
#include <functional>
#include <unordered_map>

#include "foundation/object.h"
#include "foundation/pointer_array.h"
#include "foundation/qel_string.h"
#include "tags/body_token.h"
#include "tags/module_std_allocator.h"

namespace bw {

class OpenTagIndex : public QELObject {
 public:
  OpenTagIndex();
  ~OpenTagIndex() override;
  OpenTagIndex(const OpenTagIndex&) = delete;
  OpenTagIndex& operator=(const OpenTagIndex&) = delete;

  // Records a completed, unpaired opening tag.
  void addOpeningTag(BodyToken* opening);
  // The opening tag the end tag pairs with, or null.  A found tag and every
  // tag opened after it leave the index.
  BodyToken* takeOpeningTagFor(const BodyToken& endTag);

  // The key of a name: the bytes from "<" up to the first blank or ">"
  // (or the end), folded to lower case, hashed together with the kind.
  static uint64_t nameKey(const char* bytes, uint32_t count, uint8_t kind);
  static uint64_t keyOf(const BodyToken& opening);

 private:
  void popThrough(BodyToken* opening);

  PointerArray reachable_;  // stack of BodyToken*, oldest first
  std::unordered_map<uint64_t, BodyToken*, std::hash<uint64_t>, std::equal_to<uint64_t>,
                     ModuleStdAllocator<std::pair<const uint64_t, BodyToken*>>>
      newestByName_;
};

}  // namespace bw

#endif
