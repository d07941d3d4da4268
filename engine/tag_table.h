// The tags a module registered, found by name without regard to ASCII case.
//
// The registration flags decide how a tag's body travels: 0x20 means the tag
// stands alone; 0x10 means it has a body that the engine processes first and
// then hands over as plain data; 0x02 means the body is handed over raw and
// the text the module returns is processed in place.
#ifndef BRINDLE_ENGINE_TAG_TABLE_H
#define BRINDLE_ENGINE_TAG_TABLE_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "brindlework/module.h"

namespace bw {

struct RegisteredTag {
  std::string name;  // as the module spelled it
  uint32_t flags = 0;

  bool hasBody() const {
    return (flags & BW_TAG_NO_BODY) == 0 && (flags & (BW_TAG_HAS_BODY | BW_TAG_RAW_BODY)) != 0;
  }
  bool rawBody() const { return hasBody() && (flags & BW_TAG_RAW_BODY) != 0; }
};

class TagTable {
 public:
  // A name registered twice keeps its first spelling and takes the later flags.
  void add(std::string name, uint32_t flags);
  // Asked at every "<" of a page, so it copies nothing and compares one or
  // two names: names sit in a small open-addressed table by a hash of their
  // length and two folded letters, rebuilt when a tag is registered (a module
  // registers its tags once).  Names longer than kLongestFoundName are never
  // found in a page, though they can be registered.
  const RegisteredTag* find(std::string_view name) const {
    return name.size() > kLongestFoundName ? nullptr : lookUp(name);
  }
  static constexpr size_t kLongestFoundName = 128;
  const std::vector<RegisteredTag>& all() const { return tags_; }
  size_t longestName() const { return longestName_; }

 private:
  static constexpr uint32_t kEmptySlot = UINT32_MAX;
  const RegisteredTag* lookUp(std::string_view name) const;  // find, without the length limit
  void rebuildSlots();

  std::vector<RegisteredTag> tags_;
  std::vector<uint32_t> slots_;  // entries of tags_, kEmptySlot; a power of two, at most half full
  size_t longestName_ = 0;
};

}  // namespace bw

#endif
