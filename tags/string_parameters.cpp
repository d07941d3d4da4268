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

// A whole number of at most ten digits, read straight from the encoding
// (sign, exponent byte, digit pairs); false for anything else, which then
// takes the decimal path.  Positions and counts are almost always such
// numbers, and this spares each one a text round trip.
bool smallWholeNumber(const BigDecimal& value, int64_t& out) {
  const DecimalEncoding encoding = value.encoding();
  const char* bytes = encoding.bytes;
  if (encoding.length == 0) return false;
  if (bytes[0] == 'o') {
    out = 0;
    return true;
  }
  const bool negative = bytes[0] == 'n';
  auto plain = [negative](char byte) {
    const int v = static_cast<signed char>(byte);
    return negative ? -v : v;
  };
  const int stored = plain(bytes[1]);
  if (stored < 10) return false;  // E < 0: a fraction
  const int exponent = stored - 10;
  if (exponent > 9) return false;
  const uint32_t pairs = encoding.length - 2;
  if (2 * pairs > static_cast<uint32_t>(exponent) + 2) return false;  // more digits than E + 1 ...
  int64_t whole = 0;
  int digits = 0;
  for (uint32_t i = 0; i < pairs; ++i) {
    const int pair = plain(bytes[2 + i]) - 10;
    const int pairDigits[2] = {pair / 10, pair % 10};
    for (int d : pairDigits) {
      if (digits > exponent) {
        if (d != 0) return false;  // ... that are not all zero: a fraction
        continue;
      }
      whole = whole * 10 + d;
      ++digits;
    }
  }
  for (; digits <= exponent; ++digits) whole *= 10;
  out = negative ? -whole : whole;
  return true;
}

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
  if (smallWholeNumber(value, whole)) return unsignedFromWhole(whole);
  if (value >= kTwoToThe32 || value < kSmallestInt32) return kToEnd;
  return static_cast<uint32_t>(value.toInteger());
}

uint32_t positionFromPage(const BigDecimal& value) {
  int64_t whole;
  if (smallWholeNumber(value, whole)) return unsignedFromWhole(whole - 1);
  BigDecimal position(value);
  position.subtract(kOne);
  return unsignedFromDecimal(position);
}

QelString decimalText(uint32_t n) { return toRadixText(n, 10, 1); }

}  // namespace bw
