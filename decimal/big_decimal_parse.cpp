// The BigDecimal text parser.
//
// The parser truncates rather than rounds: it keeps at most precision - scale
// integer digits (one more is an overflow) and scale fraction digits, except
// that it keeps digit scale + 1 when that digit is 5 or more, so that a later
// rounding to scale rounds the value up.  Leading fraction zeros count against
// the fraction limit, and once parsing stops at the fraction limit the rest of
// the text is not looked at.  Spaces may lead the text and trail the number;
// anything else that does not belong leaves a status (see big_decimal.h).
#include <cstring>

#include "decimal/big_decimal.h"
#include "decimal/decimal_encoding.h"

namespace bw {

BigDecimal::Status BigDecimal::fromText(const char* text) {
  if (text == nullptr) return fromText(text, 0);
  return fromText(text, static_cast<uint32_t>(std::strlen(text)));
}

BigDecimal::Status BigDecimal::fromText(const QelString& text) {
  return fromText(text.data(), text.length());
}

BigDecimal::Status BigDecimal::fromText(const char* bytes, uint32_t count) {
  if (bytes == nullptr || count == 0) {
    clearValue();
    return ok;
  }
  // Every character read moves the position on by one; digits at or past
  // fractionStart are fraction digits, and limit is the rounding digit's.
  const int32_t fractionStart = precision_ - scale_;
  const int32_t limit = precision_;
  uint32_t i = 0;
  while (i < count && bytes[i] == ' ') ++i;
  bool negative = false;
  if (i < count && (bytes[i] == '-' || bytes[i] == '+')) negative = bytes[i++] == '-';
  while (i < count && bytes[i] == '0') ++i;

  char mantissa[kMaxPrecision + 2];
  int32_t kept = 0;
  int32_t position = 0;
  int32_t exponent = 0;
  bool inFraction = false;
  if (i < count && bytes[i] == '.') {
    ++i;
    inFraction = true;
    position = fractionStart;
    exponent = -1;
    while (i < count && bytes[i] == '0' && position <= limit) {
      ++i;
      ++position;
      --exponent;
    }
  }
  for (; i < count; ++i) {
    const char c = bytes[i];
    if (c >= '0' && c <= '9') {
      if (position >= fractionStart) {
        if (!inFraction) return setStatus(overflow);
        if (position > limit || (position == limit && c < '5')) break;
      }
      mantissa[kept++] = c;
      ++position;
    } else if (c == '.') {
      if (inFraction) return setStatus(secondPoint);
      inFraction = true;
      exponent = kept - 1;
      position = fractionStart;
    } else {
      while (i < count && bytes[i] == ' ') ++i;
      if (i == count) break;
      return setStatus(bytes[i] == '+' || bytes[i] == '-' ? badSign : badCharacter);
    }
  }
  if (kept == 0) {
    setZero();
    return ok;
  }
  if (!inFraction) exponent = kept - 1;
  storeDigits(mantissa, kept, exponent, negative);
  return ok;
}

void BigDecimal::storeDigits(const char* mantissa, int32_t kept, int32_t exponent, bool negative) {
  if (exponent > decimal_internal::kMaxStoredExponent || exponent < -decimal_internal::kMaxStoredExponent) {
    clearValue();  // beyond the exponent byte; no precision allows it
    return;
  }
  // A mantissa of only zeros after its first digit cannot reach here: the
  // leading zeros were skipped, so the first kept digit is nonzero.
  length_ = static_cast<uint8_t>(decimal_internal::writeDigits(mantissa, kept, exponent, negative, bytes_));
}

}  // namespace bw
