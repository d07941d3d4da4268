// What a tag may do with a value from outside the page (outside_text.h).
//
// Tags compute on such values exactly as sent; these rules decide what is
// escaped when a value reaches the page through a tag's answer:
//   - a tag that copies a parameter into its answer as it stands (qelInlineIf's
//     then and else, qelLoop's item and itemList) has the outside values in
//     that parameter HTML-escaped as they are inserted, as page text has: the
//     author's own markup around them stays markup.  A loop's answer is
//     processed again as page text, so there "$" is escaped as well, and its
//     items can never become a tag or a reference.
//   - a tag that transforms its text (qelString, qelInlineString) has its
//     whole answer HTML-escaped when the text or a parameter it copies held
//     an outside value, unless its mode already answers something safe: a
//     number, or an encoding (whose apostrophes are then encoded too, as the
//     encodings leave them).  A decoding mode undoes any escaping its input
//     had, so its answer counts as outside text as sent.
//   - a loop's indexName from outside is cut down to its letters and digits,
//     with a report, as it names an entity and stands in an attribute.
// Inside the body of a tag that reads its body as data, nothing is escaped:
// the tag sees the values as sent, and its own answer is judged by these
// rules.  Which parameters a tag copies comes from the vocabulary
// (tag_vocabulary.h).
#ifndef BRINDLE_ENGINE_ANSWER_ESCAPING_H
#define BRINDLE_ENGINE_ANSWER_ESCAPING_H

#include <optional>
#include <string>
#include <string_view>

#include "engine/outside_text.h"
#include "engine/page_variables.h"
#include "engine/tag_parameters.h"

namespace bw {

// How a tag's answer relates to the values it copies.
enum class AnswerShape {
  Unrelated,    // the answer holds none of its parameters (conditions, switches, arithmetic)
  Verbatim,     // copied parameters reach the answer as they stand
  Transformed,  // the answer is computed from its text and copied parameters
};

AnswerShape answerShape(std::string_view tag);

// Whether the parameter reaches the tag's answer.
bool isCopiedParameter(std::string_view tag, std::string_view parameter);
// Whether it is a loop's index name, which is never left as a visitor sent it.
bool isIndexNameParameter(std::string_view tag, std::string_view parameter);

// Whether the tag's body reaches its answer (qelString's does).
bool isCopiedBody(std::string_view tag);

// How the outside values in a parameter are inserted before the call.
// `answerIsPageText`: the answer goes into the page, or is processed again
// as page text; false inside a body read as data.
Insertion insertionFor(std::string_view tag, std::string_view parameter, bool answerIsPageText);

// The answer as it must stand where it goes, given what the tag's copied
// parameters and copied body held (`input`); tells what the answer holds
// now.  `intoPage`: it is written into the page (Exact is then never left).
OutsideText finishAnswer(std::string_view tag, const TagParameters& parameters, OutsideText input,
                         bool intoPage, std::string& answer);

// A loop's index name that came from outside the page: its ASCII letters and
// digits, in order.
std::string lettersAndDigits(std::string_view name);

// What a tag's expanded parameters brought in.
struct TagInputs {
  OutsideText copied = OutsideText::None;  // in the parameters that reach the answer
  bool indexNameCut = false;               // an outside index name was cut down (report it)
};

// Rewrites every parameter of `tag` that holds a reference, each value
// expanded by expand(entry, value, out, insertion), which appends it to out
// and tells what went in, or returns nullopt for a value it leaves alone.
template <class Expand>
TagInputs expandTagParameters(std::string_view tag, TagParameters& parameters, bool answerIsPageText,
                              Expand expand) {
  TagInputs inputs;
  parameters.rewriteEntries([&](size_t entry, std::string_view value, std::string& out) {
    const std::string_view name = parameters[entry].name;
    const size_t start = out.size();
    const std::optional<OutsideText> held = expand(entry, value, out, insertionFor(tag, name, answerIsPageText));
    if (!held) return false;
    if (*held == OutsideText::None) return true;
    if (isIndexNameParameter(tag, name)) {
      const std::string kept = lettersAndDigits(std::string_view(out).substr(start));
      out.resize(start);
      out += kept;
      inputs.indexNameCut = true;
    } else if (isCopiedParameter(tag, name)) {
      addTo(inputs.copied, *held);
    }
    return true;
  });
  return inputs;
}

// The report for an index name cut down so.
extern const char* const kOutsideIndexNameMessage;
extern const char* const kOutsideIndexNameHint;

}  // namespace bw

#endif
