// Registered tags by name, ASCII case ignored.
#include "engine/tag_table.h"

#include "engine/text_util.h"

namespace bw {

void TagTable::add(std::string name, uint32_t flags) {
  if (const RegisteredTag* known = lookUp(name)) {
    tags_[static_cast<size_t>(known - tags_.data())].flags = flags;
    return;
  }
  if (name.size() > longestName_) longestName_ = name.size();
  if (byLength_.size() <= name.size()) byLength_.resize(name.size() + 1);
  byLength_[name.size()].push_back(Candidate{name, tags_.size()});
  tags_.push_back(RegisteredTag{std::move(name), flags});
}

const RegisteredTag* TagTable::lookUp(std::string_view name) const {
  if (name.empty() || name.size() > longestName_) return nullptr;
  const std::vector<Candidate>& candidates = byLength_[name.size()];
  // Pages mostly spell a tag as it was registered, so every name of this
  // length is first compared as written, and folded only when none matched.
  // Names of one family share their first letters ("qelLoop", "qelMath"),
  // so the folded pass looks at the last letter first.
  for (const Candidate& candidate : candidates)
    if (sameBytes(name.data(), candidate.name.data(), name.size())) return &tags_[candidate.tag];
  for (const Candidate& candidate : candidates)
    if (foldAscii(name.back()) == foldAscii(candidate.name.back()) &&
        equalsIgnoringCase(name, candidate.name))
      return &tags_[candidate.tag];
  return nullptr;
}

}  // namespace bw
