// The handler of qelIf (mode 0) and qelInlineIf (mode 1): reads the two
// sides and the relationship, evaluates the condition, and replaces the
// output with the chosen branch of the body or the chosen parameter.
#include "foundation/codecs.h"
#include "foundation/name_key.h"
#include "host/decoded_parameter.h"
#include "host/parameters.h"
#include "host/tag_handlers.h"
#include "tags/if_body.h"
#include "tags/relationships.h"

namespace bw {

namespace {

const NameKey kLhs("lhs");
const NameKey kRelationship("relationship");
const NameKey kRhs("rhs");
const NameKey kCaseSensitive("caseSensitive");
const NameKey kOrder("order");
const NameKey kThen("then");
const NameKey kElse("else");

constexpr int kInlineMode = 1;

void reportInvalidOrder(const ModuleRequest* request, const NameKey& order) {
  // The order comes from the page, possibly from a visitor's request, and
  // the message is HTML: it is encoded before it is shown.
  QelString message("The value &quot;");
  message.append(htmlEncode(order.text()));
  message.append("&quot; is an invalid order.");
  setErrorInfo(request, message, "Please provide only valid orders.");
}

}  // namespace

uint32_t handleCondition(const ModuleRequest* request, QelString& output, int mode) {
  DecodedParameter left;
  if (!left.fetch(request, kLhs)) {
    reportMissingParameter(request, kLhs);
    return MMRP;
  }
  NameKey relationship;
  if (!requireKeywordParameter(request, kRelationship, 0, relationship)) return MMRP;
  DecodedParameter right;
  if (needsRightSide(findRelation(relationship)) && !right.fetch(request, kRhs)) {
    reportMissingParameter(request, kRhs);
    return MMRP;
  }

  bool caseSensitive = false;
  getBooleanParameter(request, kCaseSensitive, 0, caseSensitive, false);
  NameKey order;
  getKeywordParameter(request, kOrder, 0, order, numericalOrder());
  uint32_t result = 0;
  if (order != alphabeticalOrder() && order != numericalOrder()) {
    reportInvalidOrder(request, order);
    result = MInv;
  }

  const bool holds = evaluateCondition(left.text(), relationship, right.text(), caseSensitive, order);
  if (mode == kInlineMode) {
    getStringParameter(request, holds ? kThen : kElse, 0, output, QelString());
  } else {
    // The body is only read: it stays in the exchange's buffer.
    FetchedText bodyText;
    fetchBodyInto(request, bodyText);
    const IfBody body(TokenText(bodyText.data(), bodyText.size()));
    output = body.select(holds);
  }
  return result;
}

}  // namespace bw
