// Addition, subtraction, multiplication and power of BigDecimal.
//
// Each operation unpacks its operands into digit groups, forms the exact
// result with one kernel (digit_groups.h) and hands it to finish(), which
// rounds where the operation asks for it (half away from zero, on the first
// dropped digit) and refuses results with more integer digits than
// precision - scale.  Results keep this number's precision and scale, except
// that a zero or empty left operand of add or subtract takes the other
// operand whole.
#include "decimal/big_decimal.h"
#include "decimal/digit_groups.h"

namespace bw {

using decimal_internal::DigitGroups;

BigDecimal::Status BigDecimal::add(const BigDecimal& other) { return combine(other, false); }

BigDecimal::Status BigDecimal::subtract(const BigDecimal& other) { return combine(other, true); }

BigDecimal::Status BigDecimal::combine(const BigDecimal& other, bool negateOther) {
  if (other.isZeroOrEmpty()) return ok;
  if (isZeroOrEmpty()) {
    *this = other;
    if (negateOther) negate();
    return ok;
  }
  DigitGroups a;
  DigitGroups b;
  const bool negativeA = unpack(a);
  const bool negativeB = other.unpack(b) != negateOther;
  if (!decimal_internal::align(a, b)) return setStatus(overflow);
  // Digits an operand of wider scale brings past this scale are rounded
  // away; otherwise the sum is exact (the parser's kept digit included).
  const int32_t fractionLimit = other.scale_ > scale_ ? scale_ : kKeepDigits;
  DigitGroups r;
  if (negativeA == negativeB) {
    decimal_internal::addCoefficients(a, b, r);
    return finish(r, negativeA, fractionLimit);
  }
  if (decimal_internal::compareCoefficients(a, b) >= 0) {
    decimal_internal::subtractCoefficients(a, b, r);
    return finish(r, negativeA, fractionLimit);
  }
  decimal_internal::subtractCoefficients(b, a, r);
  return finish(r, negativeB, fractionLimit);
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
