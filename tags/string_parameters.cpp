// Parameter names of the string tags (built at load, like every name table)
// and the reading rules the string modes share.
#include "tags/string_parameters.h"

#include <cstdint>

#include "foundation/codecs.h"
#include "host/parameters.h"

namespace bw {

namespace string_parameter {
const NameKey kMode("mode");
const NameKey kString("string");
const NameKey kCaseSensitive("caseSensitive");
const NameKey kQuoteResult("quoteResult");
const NameKey kBeginningIndex("beginningIndex");
const NameKey kLength("length");
const NameKey kStringToReplace("stringToReplace");
const NameKey kReplacementString("replacementString");
const NameKey kStringToInsert("stringToInsert");
const NameKey kIndex("index");
const NameKey kStringToPrepend("stringToPrepend");
const NameKey kStringToAppend("stringToAppend");
const NameKey kDelimiter("delimiter");
const NameKey kCharacter("character");
const NameKey kRegularExpression("regularExpression");
const NameKey kResultVariableName("resultVariableName");
}  // namespace string_parameter

const char* const kResultTooLongMessage =
    "The result of the string operation would be longer than 16777216 bytes.";
const char* const kResultTooLongHint =
    "Use a smaller length, a shorter text to repeat or a shorter replacement.";

uint32_t reportResultTooLong(const ModuleRequest* request) {
  setErrorInfo(request, kResultTooLongMessage, kResultTooLongHint);
  return MIPV;
}

bool getDecodedParameter(const ModuleRequest* request, const NameKey& name, QelString& value,
                         const QelString& defaultValue) {
  bool found = getStringParameter(request, name, 0, value, defaultValue);
  if (found) unescapeBackslashes(value, true);
  return found;
}

bool requireDecodedParameter(const ModuleRequest* request, const NameKey& name,
                             QelString& value) {
  if (!requireStringParameter(request, name, 0, value)) return false;
  unescapeBackslashes(value, true);
  return true;
}

namespace {
// Built once at load, like the name tables: every position and count of a
// string tag is compared with the bounds.
const BigDecimal kTwoToThe32("4294967296");
const BigDecimal kSmallestInt32(INT32_MIN);
const BigDecimal kOne(1);

// The text tags' conversion of an exact whole number: very large or very
// small values stay very large, the rest wrap into 32 bits as toInteger does.
uint32_t unsignedFromWhole(int64_t whole) {
  if (whole >= (int64_t{1} << 32) || whole < INT32_MIN) return kToEnd;
  return static_cast<uint32_t>(whole);
}
}  // namespace

uint32_t unsignedFromDecimal(const BigDecimal& value) {
  // toInteger wraps at 32 bits, which would bring a huge position back to
  // the start of the text; such values stay very large instead.
  if (value.isEmpty()) return 0;
  int64_t whole;
  if (value.toWholeNumber(whole)) return unsignedFromWhole(whole);
  if (value >= kTwoToThe32 || value < kSmallestInt32) return kToEnd;
  return static_cast<uint32_t>(value.toInteger());
}

uint32_t positionFromPage(const BigDecimal& value) {
  int64_t whole;
  if (value.toWholeNumber(whole)) return unsignedFromWhole(whole - 1);
  BigDecimal position(value);
  position.subtract(kOne);
  return unsignedFromDecimal(position);
}

QelString decimalText(uint32_t n) { return toRadixText(n, 10, 1); }

}  // namespace bw
