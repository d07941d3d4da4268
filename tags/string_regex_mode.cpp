// The regular-expression mode: searches the text with the module's own
// pattern dialect and hands back the match, or stores it and its groups in
// page variables.
//
// With resultVariableName V the variables are, in this order: V, V_0_index,
// V_0_length, then for each group i: V_i, V_i_index, V_i_length; indexes
// count from 1.  The tag itself then writes nothing.  beginningIndex is read
// for compatibility with existing pages but the search always starts at the
// first byte.  A search that reaches its step budget fails the tag rather
// than pass off an unfinished search as "no match".
#include "host/numeric_parameters.h"
#include "host/parameters.h"
#include "regex/regex_program.h"
#include "tags/string_modes.h"
#include "tags/string_parameters.h"

namespace bw {

namespace {

constexpr const char* kCompileFailedMessage = "The compilation of the regular expression failed.";
constexpr const char* kCompileFailedHint =
    "Carefully check the syntax of the regular expression for misplaced symbols.";
constexpr const char* kPatternTooLongMessage =
    "The regular expression is longer than 65536 bytes.";
constexpr const char* kPatternTooLongHint =
    "Shorten the regular expression; search long texts with a short pattern.";
static_assert(RegexProgram::kMaxPatternBytes == 65536, "the message names the limit");
constexpr const char* kBudgetMessage =
    "The regular expression search was stopped after 100000000 steps without an answer.";
constexpr const char* kBudgetHint =
    "Use a shorter or simpler regular expression (long alternatives inside a repeated group cost "
    "the most), or search a shorter text.";
static_assert(RegexProgram::kSearchStepBudget == 100000000, "the message names the limit");

// Sets valueName to the span's bytes, then spanName + "_index" and
// spanName + "_length".
void storeSpan(const ModuleRequest* request, const QelString& valueName, const QelString& spanName,
               const QelString& text, int32_t start, int32_t length) {
  setPageVariable(request, valueName,
                  text.substring(static_cast<uint32_t>(start), static_cast<uint32_t>(length)));
  setPageVariable(request, spanName.plus("_index"), decimalText(static_cast<uint32_t>(start) + 1));
  setPageVariable(request, spanName.plus("_length"), decimalText(static_cast<uint32_t>(length)));
}

}  // namespace

uint32_t regularExpressionMode(const ModuleRequest* request, QelString& text, bool) {
  QelString pattern;
  if (!requireStringParameter(request, string_parameter::kRegularExpression, 0, pattern))
    return MMRP;
  QelString variable;
  getStringParameter(request, string_parameter::kResultVariableName, 0, variable, QelString());
  int32_t beginningIndex = 0;
  getIntegerParameter(request, string_parameter::kBeginningIndex, 0, beginningIndex, 0);

  RegexProgram program;
  if (int32_t rejected = program.compile(pattern)) {
    if (rejected == RegexProgram::kPatternTooLong)
      setErrorInfo(request, kPatternTooLongMessage, kPatternTooLongHint);
    else
      setErrorInfo(request, kCompileFailedMessage, kCompileFailedHint);
    return MOpF;
  }
  if (!program.search(text, 0)) {
    text.clear();
    if (!program.budgetReached()) return 0;
    setErrorInfo(request, kBudgetMessage, kBudgetHint);
    return MOpF;
  }
  int32_t start = 0;
  int32_t length = 0;
  program.matchedRange(start, length);
  if (variable.isEmpty()) {
    text = text.substring(static_cast<uint32_t>(start), static_cast<uint32_t>(length));
    return 0;
  }

  storeSpan(request, variable, variable.plus("_0"), text, start, length);
  for (uint32_t group = 0; group < program.groupCount(); ++group) {
    program.groupRange(group, start, length);
    QelString name = variable.plus("_");
    name.append(decimalText(group + 1));
    storeSpan(request, name, name, text, start, length);
  }
  text.clear();
  return 0;
}

}  // namespace bw
