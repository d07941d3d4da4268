// Checks one tag's parameters against the tag vocabulary (tag_vocabulary.h):
// names the tag does not know, required parameters missing (also those that
// only a mode or a relationship requires), keywords outside the tag's lists,
// numbers that are none or out of range, parameters that have no effect
// where they stand, and patterns the module's dialect rejects.
//
// A value that holds a ${...} reference is known only when the page renders,
// so it is never judged, and neither is anything that depends on it.
#ifndef BRINDLE_ENGINE_CHECK_PARAMETERS_H
#define BRINDLE_ENGINE_CHECK_PARAMETERS_H

#include <functional>
#include <string>
#include <string_view>

#include "engine/check_report.h"
#include "engine/tag_parameters.h"
#include "engine/tag_vocabulary.h"

namespace bw {

// Whether the module compiles a pattern; false with its reason when not.
using PatternJudge = std::function<bool(std::string_view pattern, std::string& reason)>;

struct CheckedTag {
  const TagSpec* spec = nullptr;
  std::string_view spelledName;
  const TagParameters* parameters = nullptr;  // views of `page`
  std::string_view page;
  size_t offset = 0;  // of the tag's "<" in the page
};

void checkParameters(const CheckedTag& tag, CheckReport& report, const PatternJudge& judge);

// Whether a value holds a ${...} reference (and so is known only at render).
inline bool isDynamic(std::string_view value) { return value.find("${") != std::string_view::npos; }

}  // namespace bw

#endif
