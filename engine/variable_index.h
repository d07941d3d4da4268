// A flat index of the page variables, for the renderer's ${...} lookups.
//
// A page looks its variables up several times per tag, and a lookup in the
// map costs a key string and a walk of string comparisons.  A page has few
// variables, so the renderer keeps their names here as views, in one flat
// array compared length first.  Many variables go to the map as before.
//
// The index may only be used with a map that does not lose entries while the
// index is in use (during a render, tags set variables but never remove
// them): it is rebuilt when the map or its size changes, and values are read
// through the map's own nodes, so new values of known names are seen.
#ifndef BRINDLE_ENGINE_VARIABLE_INDEX_H
#define BRINDLE_ENGINE_VARIABLE_INDEX_H

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "engine/text_util.h"

namespace bw {

class VariableIndex {
 public:
  using Variables = std::map<std::string, std::string>;
  // Beyond this many variables the map is asked directly.
  static constexpr size_t kMostIndexed = 32;

  // The value of `name` (case-sensitive) in `variables`, or null.
  const std::string* find(const Variables& variables, std::string_view name) {
    if (indexed_ != &variables || indexedSize_ != variables.size()) return findAfterChange(variables, name);
    for (const Entry& entry : entries_)
      if (equalsExactly(entry.name, name)) return entry.value;
    return nullptr;
  }

 private:
  // Rebuilds the index, or asks the map itself when it is large.
  const std::string* findAfterChange(const Variables& variables, std::string_view name);

  struct Entry {
    std::string_view name;
    const std::string* value;
  };
  std::vector<Entry> entries_;
  const Variables* indexed_ = nullptr;
  size_t indexedSize_ = 0;
};

}  // namespace bw

#endif
