// ${...} references in page text and parameter values.
//
//   ${name}              a page variable (set by a tag, or given to the engine)
//   ${param.NAME}        the first request field NAME (query or form)
//   ${raw:name}          the same, taken as the page's own text (also
//   ${raw:param.NAME}    in parameters and bodies: see outside_text.h)
//   $${                  a literal "${"
//
// In page text a value is HTML-escaped unless the raw form is used; in
// parameter values and in bodies handed to a tag as data it is inserted
// exactly, and the expansion tells whether a value from outside the page
// (a request field, or a variable marked as set from one) went in.  An unknown name gives the empty text.  A "${" that does not form
// a reference (no "}" within 200 bytes, or a character outside letters,
// digits and "_.:-") is left as written.  Variable names are case-sensitive;
// request field names are not.
#ifndef BRINDLE_ENGINE_PAGE_VARIABLES_H
#define BRINDLE_ENGINE_PAGE_VARIABLES_H

#include <map>
#include <string>
#include <string_view>

#include "engine/host_session.h"
#include "engine/outside_text.h"
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
  // Optional: the variables whose values came from outside the page.
  const OutsideMarks* outsideVariables = nullptr;
};

enum class Escaping { Html, Exact };

// How a value from outside the page is put where its reference stands, in a
// text that is not page text (a parameter, a body handed to a tag).
enum class Insertion {
  Exact,    // as sent: the tag computes on it
  ForPage,  // HTML-escaped, and "$" as "&#36;", so that it stays text even in
            // an answer that is processed again as page text
};

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

// Whether the reference of that kind, form and name brings in a value from
// outside the page: a request field or a marked variable, not written raw.
bool comesFromOutside(ReferenceAt::Kind kind, bool raw, std::string_view name, const VariableScope& scope);

// A value from outside the page written as Insertion::ForPage writes it.
void appendForPage(std::string& out, std::string_view value);

// A reference's value appended as `insertion` says when it came from
// outside, exactly when not; tells what went in.
inline OutsideText insertValue(std::string& out, std::string_view value, bool outside, Insertion insertion) {
  if (!outside || insertion == Insertion::Exact) {
    out.append(value.data(), value.size());
    return outside ? OutsideText::Exact : OutsideText::None;
  }
  appendForPage(out, value);
  return OutsideText::Escaped;
}

// At text[pos] == '$': when a reference (or "$${") starts there, appends its
// value to out and returns the number of bytes it spans; otherwise returns 0.
// `outside`, when given, is raised to Exact when the value came from outside.
size_t expandReferenceAt(std::string_view text, size_t pos, const VariableScope& scope,
                         Escaping escaping, std::string& out, OutsideText* outside = nullptr);

// Every reference in text expanded and appended to out, outside values put
// as `insertion` says and the page's own exactly; tells what went in.
OutsideText appendExpanded(std::string& out, std::string_view text, const VariableScope& scope,
                           Insertion insertion);

// Every reference in text replaced, exactly.
std::string expandExact(std::string_view text, const VariableScope& scope);
// The same, appended to out.
void appendExpandedExactly(std::string& out, std::string_view text, const VariableScope& scope);
// Every parameter value that holds a "$" expanded exactly, in the list's own
// storage; the others are left as views of the page.
void expandParameterValues(TagParameters& parameters, const VariableScope& scope);

}  // namespace bw

#endif
