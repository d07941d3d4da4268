// The parameters of the tag being processed, as the module asks for them.
//
// The module fetches every parameter it reads by name, several times per tag,
// so the list is flat and copies nothing: each entry is a view of the name
// and the value as they stand in the page text.  A value that held ${...}
// references is rewritten into the list's own storage, and its view then
// points there.  Names match without regard to ASCII case, and repeated names
// are told apart by their order of appearance.  A list (and the views it
// hands out) stays valid while the page text it was read from does and until
// it is cleared or rewritten; clearing keeps its capacity, so a list reused
// from tag to tag stops allocating after the first few tags.
#ifndef BRINDLE_ENGINE_TAG_PARAMETERS_H
#define BRINDLE_ENGINE_TAG_PARAMETERS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/text_util.h"

namespace bw {

// The value of the occurrence-th entry of `list` named `name`, ASCII case
// ignored, or null: the one lookup rule for tag parameters and form fields.
template <class List>
auto findNamedIn(const List& list, std::string_view name, size_t occurrence)
    -> decltype(&list.begin()->value) {
  for (const auto& entry : list)
    if (equalsIgnoringCase(entry.name, name) && occurrence-- == 0) return &entry.value;
  return nullptr;
}

struct TagParameter {
  std::string_view name;
  std::string_view value;
};

class TagParameters {
 public:
  void clear() {
    entries_.clear();
    owned_.clear();
    nameLengths_ = 0;
    mayRewrite_ = 0;
  }
  // The entries of `source` without its rewritten storage, for a list about
  // to be rewritten, which would drop a copy of that storage at once.  An
  // entry source had rewritten still views source's storage.
  void assignEntries(const TagParameters& source) {
    entries_ = source.entries_;
    nameLengths_ = source.nameLengths_;
    mayRewrite_ = source.mayRewrite_;
    owned_.clear();
  }
  // `plain`: the caller has seen that the value holds no "$", so that
  // rewriteValues need not offer it (past kMarkedEntries entries it still
  // does, and the rewrite must then leave it alone as it would any value).
  void add(std::string_view name, std::string_view value, bool plain = false) {
    if (!plain && entries_.size() < kMarkedEntries) mayRewrite_ |= uint64_t{1} << entries_.size();
    entries_.push_back({name, value});
    nameLengths_ |= lengthBit(name.size());
  }

  size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  const TagParameter& operator[](size_t i) const { return entries_[i]; }
  std::vector<TagParameter>::const_iterator begin() const { return entries_.begin(); }
  std::vector<TagParameter>::const_iterator end() const { return entries_.end(); }

  const std::string_view* find(std::string_view name, size_t occurrence = 0) const {
    // A module asks for every optional parameter it knows, and most are
    // absent: a name of a length no parameter has is known absent at once.
    if ((nameLengths_ & lengthBit(name.size())) == 0) return nullptr;
    return findNamedIn(entries_, name, occurrence);
  }

  // Gives every value for which rewrite(value, out) appends its new text to
  // out and returns true that new text; other values, and those added as
  // plain, stay as they are.  Called once, after the last add: a second call
  // would read values out of the storage it writes.
  template <class Rewrite>
  void rewriteValues(Rewrite rewrite) {
    rewriteEntries([&rewrite](size_t, std::string_view value, std::string& out) { return rewrite(value, out); });
  }
  // The same, with rewrite(entry, value, out) told the place of the entry;
  // the entries are offered in order.
  template <class Rewrite>
  void rewriteEntries(Rewrite rewrite) {
    owned_.clear();
    // Room for every entry, made only when the list is longer than any
    // before it, so that noting a rewrite is a store, not a call.
    if (rewritten_.size() < entries_.size()) rewritten_.resize(entries_.size());
    size_t count = 0;
    auto visit = [&](size_t i) {
      size_t start = owned_.size();
      if (rewrite(i, entries_[i].value, owned_)) rewritten_[count++] = {i, start};
    };
    // In order of the entries, as the storage is laid out: the marked ones,
    // then any past the marks.
    for (size_t i = 0; i < kMarkedEntries && (mayRewrite_ >> i) != 0; ++i)
      if ((mayRewrite_ >> i) & 1) visit(i);
    for (size_t i = kMarkedEntries; i < entries_.size(); ++i) visit(i);
    // The views are taken only now, when the storage has stopped growing.
    for (size_t k = 0; k < count; ++k) {
      size_t start = rewritten_[k].second;
      size_t stop = k + 1 < count ? rewritten_[k + 1].second : owned_.size();
      entries_[rewritten_[k].first].value = std::string_view(owned_).substr(start, stop - start);
    }
  }

 private:
  static uint64_t lengthBit(size_t length) { return uint64_t{1} << (length & 63); }

  static constexpr size_t kMarkedEntries = 64;

  std::vector<TagParameter> entries_;
  uint64_t nameLengths_ = 0;  // bit (length % 64) set for the length of every name
  uint64_t mayRewrite_ = 0;   // bit i set when entry i (below kMarkedEntries) was not added as plain
  std::string owned_;                                // rewritten values, one after another
  // Room for one per entry: entry, where its value starts in owned_.
  std::vector<std::pair<size_t, size_t>> rewritten_;
};

}  // namespace bw

#endif
