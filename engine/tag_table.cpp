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
  tags_.push_back(RegisteredTag{std::move(name), flags});
  rebuildSlots();
}

namespace {

// Where the probe for `name` starts among `slots` (a power of two).  Names
// of one family share their first letters ("qelLoop", "qelMath"), so the
// hash takes the length, the last letter and the middle one, each with the
// bit that tells ASCII case apart set, so that any spelling of a name hashes
// alike.
inline size_t slotFor(std::string_view name, size_t slots) {
  if (name.empty()) return 0;
  size_t hash = name.size() * 131 + (static_cast<unsigned char>(name.back()) | 0x20u) * 31 +
                (static_cast<unsigned char>(name[name.size() / 2]) | 0x20u);
  return hash & (slots - 1);
}

}  // namespace

void TagTable::rebuildSlots() {
  size_t size = 16;
  while (size < 2 * tags_.size()) size *= 2;
  slots_.assign(size, kEmptySlot);
  for (size_t t = 0; t < tags_.size(); ++t) {
    size_t slot = slotFor(tags_[t].name, size);
    while (slots_[slot] != kEmptySlot) slot = (slot + 1) & (size - 1);
    slots_[slot] = static_cast<uint32_t>(t);
  }
}

const RegisteredTag* TagTable::lookUp(std::string_view name) const {
  if (name.empty() || name.size() > longestName_) return nullptr;
  // Names registered once without regard to case, so at most one matches.
  for (size_t slot = slotFor(name, slots_.size()); slots_[slot] != kEmptySlot; slot = (slot + 1) & (slots_.size() - 1)) {
    const RegisteredTag& tag = tags_[slots_[slot]];
    if (equalsIgnoringCase(name, tag.name)) return &tag;
  }
  return nullptr;
}

}  // namespace bw
