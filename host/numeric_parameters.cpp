// The numeric parameter getters: the text exchange of the string getter
// followed by a conversion that never fails (see numeric_parameters.h).
#include "host/numeric_parameters.h"

#include "foundation/codecs.h"
#include "host/parameters.h"

namespace bw {

bool getIntegerParameter(const ModuleRequest* request, const NameKey& name, int32_t occurrence,
                         int32_t& value, int32_t defaultValue) {
  FetchedText text;
  if (!fetchParameter(request, name, occurrence, text)) {
    value = defaultValue;
    return false;
  }
  value = parseInteger(text.data(), text.size(), 10);
  return true;
}

bool getDecimalParameter(const ModuleRequest* request, const NameKey& name, int32_t occurrence,
                         BigDecimal& value, const BigDecimal& defaultValue) {
  FetchedText text;
  if (!fetchParameter(request, name, occurrence, text)) {
    value = defaultValue;
    return false;
  }
  value.fromText(text.data(), text.size());  // under value's own precision and scale
  return true;
}

bool requireDecimalParameter(const ModuleRequest* request, const NameKey& name,
                             int32_t occurrence, BigDecimal& value) {
  FetchedText text;
  if (!fetchParameter(request, name, occurrence, text)) {
    value = BigDecimal();
    reportMissingParameter(request, name);
    return false;
  }
  value.fromText(text.data(), text.size());
  return true;
}

}  // namespace bw
