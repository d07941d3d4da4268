// ${...} references in page text and parameter values.
//
//   ${name}              a page variable (set by a tag, or given to the engine)
//   ${param.NAME}        the first request field NAME (query or form)
//   ${raw:name}          the same, not HTML-escaped in page text
//   $${                  a literal "${"
//
// In page text a value is HTML-escaped unless the raw form is used; in
// parameter values and in bodies handed to a tag as data it is inserted
// exactly.  An unknown name gives the empty text.  A "${" that does not form
// a reference (no "}" within 200 bytes, or a character outside letters,
// digits and "_.:-") is left as written.  Variable names are case-sensitive;
// request field names are not.
#ifndef BRINDLE_ENGINE_PAGE_VARIABLES_H
#define BRINDLE_ENGINE_PAGE_VARIABLES_H

#include <map>
#include <string>
#include <string_view>

#include "engine/host_session.h"
#include "engine/tag_parameters.h"
#include "engine/variable_index.h"

namespace bw {

constexpr size_t kLongestVariableReference = 200;

struct VariableScope {
  const std::map<std::string, std::string>* variables = nullptr;
  const NamedValues* requestFields = nullptr;
  // Optional, for lookups without a key string; see variable_index.h for
  // what it asks of the map.
  VariableIndex* index = nullptr;
};

enum class Escaping { Html, Exact };

// At text[pos] == '$': when a reference (or "$${") starts there, appends its
// value to out and returns the number of bytes it spans; otherwise returns 0.
size_t expandReferenceAt(std::string_view text, size_t pos, const VariableScope& scope,
                         Escaping escaping, std::string& out);

// Every reference in text replaced, exactly.
std::string expandExact(std::string_view text, const VariableScope& scope);
// The same, appended to out.
void appendExpandedExactly(std::string& out, std::string_view text, const VariableScope& scope);
// Every parameter value that holds a "$" expanded exactly, in the list's own
// storage; the others are left as views of the page.
void expandParameterValues(TagParameters& parameters, const VariableScope& scope);

}  // namespace bw

#endif
