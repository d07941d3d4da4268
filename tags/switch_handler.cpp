// The handler of qelSwitch: reads the switch value and replaces the output
// with the content of the case the value selects.
#include "foundation/name_key.h"
#include "host/decoded_parameter.h"
#include "host/parameters.h"
#include "host/tag_handlers.h"
#include "tags/switch_body.h"

namespace bw {

namespace {
const NameKey kValue("value");
const NameKey kCaseSensitive("caseSensitive");
}  // namespace

uint32_t handleSwitch(const ModuleRequest* request, QelString& output, int /*mode*/) {
  DecodedParameter value;
  if (!value.fetch(request, kValue)) {
    reportMissingParameter(request, kValue);
    return MMRP;
  }
  bool caseSensitive = false;
  getBooleanParameter(request, kCaseSensitive, 0, caseSensitive, false);
  // The body is only read: it stays in the exchange's buffer.
  FetchedText bodyText;
  fetchBodyInto(request, bodyText);
  SwitchBody body(TokenText(bodyText.data(), bodyText.size()));
  output = body.select(value.text(), caseSensitive);
  return 0;
}

}  // namespace bw
