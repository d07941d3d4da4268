// The qelMath tag: evaluates the arithmetic expression in its body and puts
// the result in the tag's place.
//
// Three precisions steer it: workPrecision is the scale of every number in
// the expression (each operation rounds to it), resultPrecision the fraction
// digits the final value is rounded to, and displayPrecision the fixed number
// of fraction digits printed (-1: the plain form).  Numbers carry 100
// significant digits, so the integer part may have 100 - workPrecision.
// Arithmetic problems are not reported: an overflow leaves a number without
// value, printed as "" (or "0.000" for displayPrecision 3), and a division by
// zero gives fifty 9s.
#include "brindlework/module.h"
#include "decimal/big_decimal.h"
#include "decimal/equation.h"
#include "host/host_exchange.h"
#include "host/numeric_parameters.h"
#include "host/parameters.h"
#include "host/tag_handlers.h"

namespace bw {

namespace {

const NameKey kWorkPrecision("workPrecision");
const NameKey kResultPrecision("resultPrecision");
const NameKey kDisplayPrecision("displayPrecision");

constexpr int32_t kDefaultWorkPrecision = 8;
constexpr int32_t kPlainDisplay = -1;
constexpr int32_t kMaxPrecisionParameter = 25;
constexpr int32_t kEquationPrecision = BigDecimal::kMaxPrecision;

struct PrecisionRule {
  const NameKey& name;
  int32_t lowest;
};

uint32_t reportOutOfRange(const ModuleRequest* request, const NameKey& name) {
  QelString message("The &quot;");
  message.append(name.text());
  message.append("&quot; parameter must be a number between 0 and 25.");
  QelString hint("Make sure that the &quot;");
  hint.append(name.text());
  hint.append("&quot; parameter is between 0 and 25.");
  setErrorInfo(request, message, hint);
  return MIPV;
}

// The blanks trimmed from both ends of the body.
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

uint32_t handleMath(const ModuleRequest* request, QelString& output, int /*mode*/) {
  int32_t work = kDefaultWorkPrecision;
  int32_t resultDigits = 0;
  int32_t display = kPlainDisplay;
  getIntegerParameter(request, kWorkPrecision, 0, work, kDefaultWorkPrecision);
  getIntegerParameter(request, kResultPrecision, 0, resultDigits, work);
  getIntegerParameter(request, kDisplayPrecision, 0, display, kPlainDisplay);

  const PrecisionRule rules[] = {
      {kWorkPrecision, 0}, {kResultPrecision, 0}, {kDisplayPrecision, kPlainDisplay}};
  const int32_t values[] = {work, resultDigits, display};
  for (size_t i = 0; i < sizeof(values) / sizeof(values[0]); ++i) {
    if (values[i] < rules[i].lowest || values[i] > kMaxPrecisionParameter) {
      return reportOutOfRange(request, rules[i].name);
    }
  }

  // The body is only read, so it stays in the exchange's buffer.
  FetchedText body;
  fetchBodyInto(request, body);
  const char* first = body.data();
  const char* last = first + body.size();
  while (first < last && isBlank(*first)) ++first;
  while (first < last && isBlank(last[-1])) --last;
  if (first == last) {
    output.clear();
    return 0;
  }

  BigDecimal result;
  {
    Equation equation(kEquationPrecision, work);
    if (equation.parse(first, static_cast<uint32_t>(last - first)) != 0) {
      setErrorInfo(request, QelString("The equation was improperly formatted."),
                   QelString("Please check the syntax of your equation."));
      return MIFt;
    }
    if (equation.evaluate(result) != 0) {
      setErrorInfo(request, QelString("An unexpected error occurred while solving the equation."),
                   QelString("Please check the syntax of your equation."));
      return MIPV;
    }
  }

  // The result's scale is workPrecision; a single number in the body may
  // still carry the parser's one extra rounding digit, which must not reach
  // the page when resultPrecision is larger.
  const int32_t kept = resultDigits < result.scale() ? resultDigits : result.scale();
  if (result.fractionDigitCount() > kept) result.round(kept);

  output = display == kPlainDisplay ? result.toText() : result.toFixedText(display, true);
  return 0;
}

}  // namespace bw
