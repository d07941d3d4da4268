// Page variables found by name in a flat array.
#include "engine/variable_index.h"

namespace bw {

const std::string* VariableIndex::findAfterChange(const Variables& variables, std::string_view name) {
  entries_.clear();
  indexed_ = nullptr;
  if (variables.size() > kMostIndexed) {
    // Left unindexed, so that every lookup comes back here to the map.
    auto it = variables.find(std::string(name));
    return it == variables.end() ? nullptr : &it->second;
  }
  for (const auto& [key, value] : variables) entries_.push_back(Entry{key, &value});
  indexed_ = &variables;
  indexedSize_ = variables.size();
  return find(variables, name);
}

}  // namespace bw
