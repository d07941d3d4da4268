// Addition, subtraction, multiplication and power of BigDecimal.
//
// Each operation unpacks its operands into digit groups, forms the exact
// result with one kernel (digit_groups.h; sums through decimal_sum.h) and
// hands it to finish(), which rounds where the operation asks for it (half
// away from zero, on the first dropped digit) and refuses results with more
// integer digits than precision - scale.  Results keep this number's precision and scale, except
// that a zero or empty left operand of add or subtract takes the other
// operand whole.
#include "decimal/big_decimal.h"
#include "decimal/decimal_sum.h"
#include "decimal/digit_groups.h"

namespace bw {

using decimal_internal::DigitGroups;

// One-term sums: the rules for zero, no value, a wider scale and the integer
// limit are DecimalSum's.
BigDecimal::Status BigDecimal::add(const BigDecimal& other) {
  DecimalSum sum(*this);
  sum.add(other, false);
  return sum.store(*this);
}

BigDecimal::Status BigDecimal::subtract(const BigDecimal& other) {
  DecimalSum sum(*this);
  sum.add(other, true);
  return sum.store(*this);
}

BigDecimal::Status BigDecimal::multiply(const BigDecimal& other) {
  if (isZeroOrEmpty()) return ok;
  if (other.isZeroOrEmpty()) {
    setEncoding(other.bytes_, other.length_);  // zero stays zero, no value spreads
    return ok;
  }
  DigitGroups a;
  DigitGroups b;
  const bool negative = unpack(a) != other.unpack(b);
  DigitGroups r;
  decimal_internal::multiplyMagnitudes(a, b, r);
  return finish(r, negative, scale_);
}

BigDecimal BigDecimal::power(int32_t n) const {
  BigDecimal result(precision_, scale_);
  result.fromText(kOneText);
  if (n == 0) return result;
  if (isZeroOrEmpty()) return *this;
  BigDecimal base(*this);
  uint32_t remaining = static_cast<uint32_t>(n);
  if (n < 0) {
    BigDecimal reciprocal(result);
    reciprocal.divide(base);
    base = reciprocal;
    remaining = 0u - remaining;
  }
  // From the lowest bit; every product rounds to scale.
  while (remaining != 1) {
    if (remaining & 1u) result.multiply(base);
    base.multiply(base);
    remaining >>= 1;
  }
  result.multiply(base);
  return result;
}

}  // namespace bw
