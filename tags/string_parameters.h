// The parameters of qelString and qelInlineString: their names, the reading
// rules they share (decoding, positions taken from decimals) and the limit on
// what a string operation may produce.
#ifndef BRINDLEWORK_TAGS_STRING_PARAMETERS_H
#define BRINDLEWORK_TAGS_STRING_PARAMETERS_H

#include <cstdint>

#include "brindlework/module.h"
#include "decimal/big_decimal.h"
#include "foundation/name_key.h"
#include "foundation/qel_string.h"

namespace bw {

namespace string_parameter {
extern const NameKey kMode;
extern const NameKey kString;
extern const NameKey kCaseSensitive;
extern const NameKey kQuoteResult;
extern const NameKey kBeginningIndex;
extern const NameKey kLength;
extern const NameKey kStringToReplace;
extern const NameKey kReplacementString;
extern const NameKey kStringToInsert;
extern const NameKey kIndex;
extern const NameKey kStringToPrepend;
extern const NameKey kStringToAppend;
extern const NameKey kDelimiter;
extern const NameKey kCharacter;
extern const NameKey kRegularExpression;
extern const NameKey kResultVariableName;
}  // namespace string_parameter

// The most bytes an operation that multiplies text (padding, replacing) may
// make the text grow to.  Beyond it the tag fails with kResultTooLongMessage
// instead of exhausting the host's memory.
constexpr uint32_t kMaxStringResultLength = 16u * 1024u * 1024u;
extern const char* const kResultTooLongMessage;
extern const char* const kResultTooLongHint;
// Reports the limit above; returns MIPV for the handler to return.
uint32_t reportResultTooLong(const ModuleRequest* request);

// Text parameters whose values pass through unescapeBackslashes (with
// decimal escapes) before use: "\t" becomes a tab, "\065" an "A".
bool getDecodedParameter(const ModuleRequest* request, const NameKey& name, QelString& value,
                         const QelString& defaultValue);
bool requireDecodedParameter(const ModuleRequest* request, const NameKey& name,
                             QelString& value);

// A count taken from the page: the value truncated toward zero and taken as
// unsigned, so a negative count is a very large one; values that do not fit
// in 32 bits are very large too.  No value counts 0.
uint32_t unsignedFromDecimal(const BigDecimal& value);

// A page position (counting from 1) as a 0-based byte position: value - 1 in
// decimal arithmetic, truncated toward zero, taken as unsigned, so 0,
// negative values and values that are not numbers become very large.
uint32_t positionFromPage(const BigDecimal& value);

// n written in decimal digits.
QelString decimalText(uint32_t n);

}  // namespace bw

#endif
