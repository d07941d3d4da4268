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
  // The mantissa starts with its leading digit, so its digits pair up from
  // the front as they are stored; no other working form is needed.
  constexpr int kPairBias = 10;
  constexpr int32_t kMaxStoredExponent = 127 - kPairBias;
  if (exponent > kMaxStoredExponent || exponent < -kMaxStoredExponent) {
    clearValue();  // beyond the exponent byte; no precision allows it
    return;
  }
  // Written straight into the number's array: the mantissa is a local, so
  // nothing read is overwritten.
  char* const encoded = bytes_;
  int32_t pairs = 0;
  int32_t lastNonzero = 0;
  for (int32_t d = 0; d < kept; d += 2) {
    const int high = mantissa[d] - '0';
    const int low = d + 1 < kept ? mantissa[d + 1] - '0' : 0;
    const int v = high * 10 + low;
    const int byte = v + kPairBias;
    encoded[2 + pairs++] = static_cast<char>(negative ? -byte : byte);
    if (v != 0) lastNonzero = pairs;
  }
  const int stored = exponent >= 0 ? exponent + kPairBias : exponent - kPairBias;
  encoded[0] = negative ? 'n' : 'p';
  encoded[1] = static_cast<char>(negative ? -stored : stored);
  // No trailing "00" pairs.
  length_ = static_cast<uint8_t>(2 + lastNonzero);
  bytes_[length_] = 0;
}

}  // namespace bw
