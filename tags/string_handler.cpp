// The handler of qelString (the text is the tag's body) and qelInlineString
// (the text is its string parameter, every occurrence appended in order).
//
// Order of work: mode, text, caseSensitive, the mode's own parameters,
// quoteResult.  Only a successful run writes the output; a missing
// parameter, a rejected pattern or an over-long result leaves it untouched.
#include "host/parameters.h"
#include "host/tag_handlers.h"
#include "tags/string_modes.h"
#include "tags/string_parameters.h"

namespace bw {

namespace {

const NameKey kNoOperation("noOperation");

// qelInlineString's text: string at occurrence 0 (required), then every
// further occurrence appended.
bool readInlineText(const ModuleRequest* request, QelString& text) {
  if (!requireStringParameter(request, string_parameter::kString, 0, text)) return false;
  QelString more;
  for (int32_t occurrence = 1;
       getStringParameter(request, string_parameter::kString, occurrence, more, QelString());
       ++occurrence) {
    text.append(more);
  }
  return true;
}

}  // namespace

uint32_t handleString(const ModuleRequest* request, QelString& output, int mode) {
  const bool inlineTag = mode == 1;
  NameKey operation;
  getKeywordParameter(request, string_parameter::kMode, 0, operation, kNoOperation);

  QelString text;
  if (inlineTag) {
    if (!readInlineText(request, text)) return MMRP;
  } else {
    text = getTagBody(request);
  }

  bool caseSensitive = false;
  getBooleanParameter(request, string_parameter::kCaseSensitive, 0, caseSensitive, false);

  if (uint32_t result = runStringMode(request, operation, text, caseSensitive)) return result;

  bool quoteResult = false;
  getBooleanParameter(request, string_parameter::kQuoteResult, 0, quoteResult, false);
  if (quoteResult) {
    text.prepend('"');
    text.append('"');
  }
  output = text;
  return 0;
}

}  // namespace bw
