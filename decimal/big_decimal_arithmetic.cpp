// Addition, subtraction, multiplication and power of BigDecimal.
//
// Sums and differences that need no rounding are formed straight on the
// stored pairs (stored_pairs.h), and so are products of operands of up to 40
// digits (pair_products.h); the rest of the work is done on unpacked digit
// groups, whose exact result goes to store(), which rounds where the
// operation asks for it (half away from zero, on the first dropped digit)
// and refuses results with more integer digits than precision - scale.
// Results keep this number's precision and scale, except that a zero or
// empty left operand of add or subtract takes the other operand whole.
#include "decimal/big_decimal.h"
#include "decimal/digit_groups.h"
#include "decimal/own_string.h"
#include "decimal/pair_products.h"
#include "decimal/stored_pairs.h"

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
  // A wider operand needs the sum rounded to this scale, unless both
  // operands' digits already end within it: then the exact sum does too.
  const bool roundToScale =
      other.scale_ > scale_ &&
      (decimal_internal::fractionDigitsOf(other.bytes_, other.length_) > scale_ ||
       decimal_internal::fractionDigitsOf(bytes_, length_) > scale_);
  if (!roundToScale) {
    OwnString own(*this);
    const int32_t written = decimal_internal::combinePairs(encoding(), other.encoding(),
                                                           negateOther, integerLimit(), own);
    if (written == decimal_internal::kPairsOverflow) return setStatus(overflow);
    if (written != decimal_internal::kPairsDeclined) return ok;
  }
  return combineGroups(other, negateOther, roundToScale);
}

BigDecimal::Status BigDecimal::combineGroups(const BigDecimal& other, bool negateOther,
                                             bool roundToScale) {
  DigitGroups a;
  DigitGroups b;
  const bool negativeA = unpack(a);
  const bool negativeB = other.unpack(b) != negateOther;
  if (!decimal_internal::align(a, b)) return setStatus(overflow);
  DigitGroups r;
  if (negativeA == negativeB) {
    decimal_internal::addCoefficients(a, b, r);
    return store(r, negativeA, roundToScale);
  }
  const int order = decimal_internal::compareCoefficients(a, b);
  if (order == 0) {
    setZero();
    return ok;
  }
  if (order > 0) {
    decimal_internal::subtractCoefficients(a, b, r);
    return store(r, negativeA, roundToScale);
  }
  decimal_internal::subtractCoefficients(b, a, r);
  return store(r, negativeB, roundToScale);
}

BigDecimal::Status BigDecimal::multiply(const BigDecimal& other) {
  if (isZeroOrEmpty()) return ok;
  if (other.isZeroOrEmpty()) {
    setEncoding(other.bytes_, other.length_);  // zero stays zero, no value spreads
    return ok;
  }
  static_assert(kStorage >= 2 + 32, "the short product reads 32 bytes of pairs");
  {
    OwnString own(*this);
    const int32_t written = decimal_internal::multiplyPairs(encoding(), other.encoding(), scale_,
                                                            integerLimit(), own);
    if (written == decimal_internal::kPairsOverflow) return setStatus(overflow);
    if (written != decimal_internal::kPairsDeclined) return ok;
  }
  DigitGroups a;
  DigitGroups b;
  const bool negative = unpack(a) != other.unpack(b);
  DigitGroups r;
  decimal_internal::multiplyMagnitudes(a, b, r);
  return store(r, negative, true);
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
