// BigDecimal's text output: the plain form, the fixed form and the integer
// part.  The plain form never has an exponent, grouping separators or
// trailing fraction zeros, so it reads back to the same value.
#include <cstring>

#include "decimal/big_decimal.h"
#include "decimal/digit_groups.h"
#include "decimal/pair_lines.h"
#include "foundation/codecs.h"

namespace bw {

namespace {

// '-', "0.", up to 117 zeros and 122 digits, or the digits and up to 117
// padding zeros.
constexpr int32_t kMaxPlainTextLength = 256;
// Fraction zeros toFixedText adds in its own buffer; more go through the
// string.
constexpr int32_t kMaxFixedPadding = 128;

constexpr int kStoredBias = 10;  // of every stored pair

// The plain form of a nonzero value, read straight from its encoding: the
// leading pair always holds two digits, the first of them nonzero, so the
// digits are the pairs' in order and the exponent places the point.  Returns
// the text's length.
int32_t plainText(const DecimalEncoding& encoding, char* text) {
  const bool negative = encoding.bytes[0] == 'n';
  const int sign = negative ? -1 : 1;
  const int32_t exponent = decimal_internal::leadingExponentOf(encoding.bytes, negative);
  const uint32_t pairs = encoding.length - 2;
  // No "00" pair is stored last, so at most its second digit is a zero.
  const int lastPair = sign * static_cast<signed char>(encoding.bytes[encoding.length - 1]) - kStoredBias;
  const int32_t count = static_cast<int32_t>(2 * pairs) - (lastPair % 10 == 0 ? 1 : 0);

  int32_t n = 0;
  if (negative) text[n++] = '-';
  if (exponent < 0) {
    text[n++] = '0';
    text[n++] = '.';
    for (int32_t z = 0; z < -exponent - 1; ++z) text[n++] = '0';
  }
  // Every pair's two digits, the dropped zero of the last one included: it
  // falls past the count and is overwritten or left out.
  char* const digits = text + n;
  for (uint32_t i = 0; i < pairs; ++i) {
    const int pair = sign * static_cast<signed char>(encoding.bytes[2 + i]) - kStoredBias;
    digits[2 * i] = static_cast<char>('0' + pair / 10);
    digits[2 * i + 1] = static_cast<char>('0' + pair % 10);
  }
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

}  // namespace bw
