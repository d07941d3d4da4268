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

// What a "$" starts: the one reading of a reference, shared by the text walk
// and by pages compiled ahead (reference_segments.h).
struct ReferenceAt {
  enum class Kind : unsigned char {
    None,          // no reference: the "$" is a byte like any other
    Escape,        // "$${", which stands for "${"
    Variable,      // ${name}
    RequestField,  // ${param.NAME}
  };
  Kind kind = Kind::None;
  bool raw = false;       // written ${raw:...}: never HTML-escaped
  size_t length = 0;      // the bytes it spans
  std::string_view name;  // Variable and RequestField: what is looked up
};

// The reference at text[pos] == '$'; kind None when there is none.
ReferenceAt readReferenceAt(std::string_view text, size_t pos);

// A variable or request field by name, as a reference finds it; null when
// absent (which expands to nothing).
const std::string* lookUpVariable(std::string_view name, const VariableScope& scope);
const std::string* lookUpRequestField(std::string_view name, const VariableScope& scope);

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
