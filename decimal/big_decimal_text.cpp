// BigDecimal's text output: the plain form, the fixed form and the integer
// part.  The plain form never has an exponent, grouping separators or
// trailing fraction zeros, so it reads back to the same value.
#include "decimal/big_decimal.h"
#include "decimal/digit_groups.h"
#include "foundation/codecs.h"

namespace bw {

namespace {

// '-', "0.", up to 117 zeros and 122 digits, or the digits and up to 117
// padding zeros.
constexpr int32_t kMaxPlainTextLength = 256;

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
  decimal_internal::DigitGroups m;
  const bool negative = unpack(m);
  const int32_t exponent = decimal_internal::leadingExponent(m);

  char digits[decimal_internal::kDigitsPerGroup * decimal_internal::kMaxGroups];
  int32_t count = decimal_internal::coefficientDigits(m, digits);
  while (count > 1 && digits[count - 1] == '0') --count;

  char text[kMaxPlainTextLength];
  int32_t n = 0;
  if (negative) text[n++] = '-';
  if (exponent < 0) {
    text[n++] = '0';
    text[n++] = '.';
    for (int32_t z = 0; z < -exponent - 1; ++z) text[n++] = '0';
    for (int32_t d = 0; d < count; ++d) text[n++] = digits[d];
  } else {
    for (int32_t d = 0; d < count; ++d) {
      if (d == exponent + 1) text[n++] = '.';
      text[n++] = digits[d];
    }
    for (int32_t z = count; z < exponent + 1; ++z) text[n++] = '0';
  }
  out.assign(text, static_cast<uint32_t>(n));
}

QelString BigDecimal::toText() const {
  QelString out;
  toText(out);
  return out;
}

QelString BigDecimal::toFixedText(int32_t n, bool roundFirst) const {
  QelString text;
  if (roundFirst) {
    BigDecimal copy(*this);
    copy.round(n);
    copy.toText(text);
  } else {
    toText(text);
  }
  if (n > 0) {
    uint32_t point = 0;
    int32_t have = 0;
    if (text.find('.', 0, kToEnd, NoOptions, point)) {
      have = static_cast<int32_t>(text.length() - point - 1);
    } else {
      text.append('.');
    }
    for (; have < n; ++have) text.append('0');
  }
  if (text.startsWith('.')) text.prepend('0');
  return text;
}

int32_t BigDecimal::toInteger() const {
  QelString text;
  toText(text);
  if (text.isEmpty()) text.assign('0');
  return parseInteger(text, 10);
}

}  // namespace bw
