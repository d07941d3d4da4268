// Registered tags by case-folded name.
#include "engine/tag_table.h"

#include "engine/text_util.h"

namespace bw {

void TagTable::add(std::string name, uint32_t flags) {
  std::string folded = foldedCopy(name);
  if (folded.size() > longestName_) longestName_ = folded.size();
  auto it = byFoldedName_.find(folded);
  if (it != byFoldedName_.end()) {
    tags_[it->second].flags = flags;
    return;
  }
  byFoldedName_.emplace(std::move(folded), tags_.size());
  tags_.push_back(RegisteredTag{std::move(name), flags});
}

const RegisteredTag* TagTable::find(std::string_view name) const {
  if (name.empty() || name.size() > longestName_) return nullptr;
  char folded[128];
  if (name.size() > sizeof folded) return nullptr;
  for (size_t i = 0; i < name.size(); ++i) folded[i] = foldAscii(name[i]);
  auto it = byFoldedName_.find(std::string(folded, name.size()));
  return it == byFoldedName_.end() ? nullptr : &tags_[it->second];
}

}  // namespace bw
