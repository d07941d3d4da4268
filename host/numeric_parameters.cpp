// The numeric parameter getters: the text exchange of the string getter
// followed by a conversion that never fails (see numeric_parameters.h).
#include "host/numeric_parameters.h"

#include "foundation/codecs.h"
#include "host/parameters.h"

namespace bw {

bool getIntegerParameter(const ModuleRequest* request, const NameKey& name, int32_t occurrence,
                         int32_t& value, int32_t defaultValue) {
  QelString text;
  if (!getStringParameter(request, name, occurrence, text, QelString())) {
    value = defaultValue;
    return false;
  }
  value = parseInteger(text, 10);
  return true;
}

bool getDecimalParameter(const ModuleRequest* request, const NameKey& name, int32_t occurrence,
                         BigDecimal& value, const BigDecimal& defaultValue) {
  QelString text;
  if (!getStringParameter(request, name, occurrence, text, QelString())) {
    value = defaultValue;
    return false;
  }
  value = text;  // under value's own precision and scale
  return true;
}

bool requireDecimalParameter(const ModuleRequest* request, const NameKey& name,
                             int32_t occurrence, BigDecimal& value) {
  QelString text;
  if (!getStringParameter(request, name, occurrence, text, QelString())) {
    value = BigDecimal();
    reportMissingParameter(request, name);
    return false;
  }
  value = text;
  return true;
}

}  // namespace bw
