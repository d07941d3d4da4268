// The numeric tag-parameter getters: a 32-bit integer, an optional decimal
// and a required decimal that reports its own absence.
//
// They run the same host exchange as the text getters of host/parameters.h
// (same occurrence, same defaults rule) and differ only in converting the
// supplied text.  A text that does not convert is never an error: the integer
// is what the integer parser read, the decimal is left without value.
#ifndef BRINDLEWORK_HOST_NUMERIC_PARAMETERS_H
#define BRINDLEWORK_HOST_NUMERIC_PARAMETERS_H

#include <cstdint>

#include "brindlework/module.h"
#include "decimal/big_decimal.h"
#include "foundation/name_key.h"

namespace bw {

// The value parsed in base 10 (parseInteger), or defaultValue when absent.
bool getIntegerParameter(const ModuleRequest* request, const NameKey& name, int32_t occurrence,
                         int32_t& value, int32_t defaultValue);

// The text parsed under value's own precision and scale; when absent, value
// becomes a copy of defaultValue, its precision and scale included.
bool getDecimalParameter(const ModuleRequest* request, const NameKey& name, int32_t occurrence,
                         BigDecimal& value, const BigDecimal& defaultValue);

// Like getDecimalParameter; when absent, value becomes a number without value
// at (38, 8), the missing parameter is reported and the result is false (the
// handler then returns MMRP).
bool requireDecimalParameter(const ModuleRequest* request, const NameKey& name,
                             int32_t occurrence, BigDecimal& value);

}  // namespace bw

#endif
