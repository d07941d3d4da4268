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
#include <unordered_map>
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
  const RegisteredTag* find(std::string_view name) const;
  const std::vector<RegisteredTag>& all() const { return tags_; }
  size_t longestName() const { return longestName_; }

 private:
  std::vector<RegisteredTag> tags_;
  std::unordered_map<std::string, size_t> byFoldedName_;
  size_t longestName_ = 0;
};

}  // namespace bw

#endif
