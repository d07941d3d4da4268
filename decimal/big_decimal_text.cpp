// BigDecimal's text output: the plain form, the fixed form, the integer part
// and the whole-number conversion.  The plain form never has an exponent, grouping separators or
// trailing fraction zeros, so it reads back to the same value.
#include <cstring>

#include "decimal/big_decimal.h"
#include "decimal/decimal_encoding.h"
#include "foundation/codecs.h"

namespace bw {

namespace {

// '-', "0.", up to 117 zeros and 122 digits, or the digits and up to 117
// padding zeros.
constexpr int32_t kMaxPlainTextLength = 256;
// Fraction zeros toFixedText adds in its own buffer; more go through the
// string.
constexpr int32_t kMaxFixedPadding = 128;

// The plain form of a nonzero value, read straight from its encoding: the
// digits are the pairs' in order and the exponent places the point.  Returns
// the text's length.
int32_t plainText(const DecimalEncoding& encoding, char* text) {
  const int32_t exponent = decimal_internal::exponentOf(encoding.bytes);
  int32_t n = 0;
  if (decimal_internal::isNegativeEncoding(encoding.bytes)) text[n++] = '-';
  if (exponent < 0) {
    text[n++] = '0';
    text[n++] = '.';
    for (int32_t z = 0; z < -exponent - 1; ++z) text[n++] = '0';
  }
  char* const digits = text + n;
  const int32_t count = decimal_internal::readDigits(encoding.bytes, encoding.length, digits);
  n += count;
  if (exponent >= 0) {
    const int32_t point = exponent + 1;
    if (point < count) {
      // The point goes in after the integer digits.
      std::memmove(digits + point + 1, digits + point, static_cast<size_t>(count - point));
      digits[point] = '.';
      ++n;
    } else {
      for (int32_t z = count; z < point; ++z) text[n++] = '0';
    }
  }
  return n;
}

}  // namespace

void BigDecimal::toText(QelString& out) const {
  if (isEmpty()) {
    out.clear();
    return;
  }
  if (isZero()) {
    out.assign('0');
    return;
  }
  char text[kMaxPlainTextLength];
  out.assign(text, static_cast<uint32_t>(plainText(encoding(), text)));
}

QelString BigDecimal::toText() const {
  QelString out;
  toText(out);
  return out;
}

QelString BigDecimal::toFixedText(int32_t n, bool roundFirst) const {
  BigDecimal rounded;
  const BigDecimal* shown = this;
  if (roundFirst) {
    rounded = *this;
    rounded.round(n);
    shown = &rounded;
  }
  // The plain form, then a point and zeros up to n fraction digits, and a
  // "0" before a leading point (the text of no value is empty).
  char text[1 + kMaxPlainTextLength + kMaxFixedPadding];
  char* const plain = text + 1;
  int32_t length = 0;
  if (shown->isZero()) {
    plain[length++] = '0';
  } else if (!shown->isEmpty()) {
    length = plainText(shown->encoding(), plain);
  }
  int32_t padding = 0;
  if (n > 0) {
    const void* point = std::memchr(plain, '.', static_cast<size_t>(length));
    const int32_t have =
        point != nullptr ? static_cast<int32_t>(plain + length - static_cast<const char*>(point)) - 1 : 0;
    padding = n - have;
    if (point == nullptr) plain[length++] = '.';
  }
  const char* begin = plain;
  if (length > 0 && plain[0] == '.') {
    text[0] = '0';
    begin = text;
    ++length;
  }
  QelString result;
  if (padding <= kMaxFixedPadding) {
    char* end = const_cast<char*>(begin) + length;
    for (int32_t z = 0; z < padding; ++z) *end++ = '0';
    result.assign(begin, static_cast<uint32_t>(end - begin));
  } else {
    result.assign(begin, static_cast<uint32_t>(length));
    for (int32_t z = 0; z < padding; ++z) result.append('0');
  }
  return result;
}

int32_t BigDecimal::toInteger() const {
  QelString text;
  toText(text);
  if (text.isEmpty()) text.assign('0');
  return parseInteger(text, 10);
}

bool BigDecimal::toWholeNumber(int64_t& out) const {
  if (isEmpty()) return false;
  if (isZero()) {
    out = 0;
    return true;
  }
  const int32_t exponent = decimal_internal::exponentOf(bytes_);
  if (exponent < 0 || exponent >= kMaxWholeDigits || fractionDigitCount() > 0) return false;
  // The pairs hold 2 * pairs digits from the leading one; the value has
  // E + 1, so the pairs' number is scaled to that many.
  const int32_t pairs = length_ - 2;
  int64_t whole = 0;
  for (int32_t i = 0; i < pairs; ++i) whole = whole * 100 + decimal_internal::pairAt(bytes_, static_cast<uint32_t>(i));
  for (int32_t d = 2 * pairs; d < exponent + 1; ++d) whole *= 10;
  if (2 * pairs > exponent + 1) whole /= 10;
  out = isNegative() ? -whole : whole;
  return true;
}

}  // namespace bw
