// Division of BigDecimal: the rounded quotient, the whole-number quotient and
// the remainder.
//
// All three come from one exact integer long division of the unpacked
// magnitudes (long_division.cpp) and are stored by finish().  The dividend
// is never rounded or cut before dividing, however many integer digits it
// has, so:
//   divide         the exact quotient rounded half away from zero to scale;
//   divideInteger  the exact quotient truncated toward zero;
//   remainder      exactly a - divideInteger(a, b) * b, with a's sign.
// Quotients obey the integer-digit limit of precision - scale like every
// other result.  A zero or empty dividend is left unchanged; a zero or empty
// divisor gives the divideByZero value.
#include "decimal/big_decimal.h"
#include "decimal/digit_groups.h"

namespace bw {

using decimal_internal::DigitGroups;

BigDecimal::Status BigDecimal::divide(const BigDecimal& other) {
  return divideBy(other, DivisionKind::quotient);
}

BigDecimal::Status BigDecimal::divideInteger(const BigDecimal& other) {
  return divideBy(other, DivisionKind::integerQuotient);
}

BigDecimal::Status BigDecimal::remainder(const BigDecimal& other) {
  return divideBy(other, DivisionKind::remainder);
}

BigDecimal::Status BigDecimal::divideBy(const BigDecimal& divisor, DivisionKind kind) {
  if (isZeroOrEmpty()) return ok;
  if (divisor.isZeroOrEmpty()) return setStatus(divideByZero);
  DigitGroups a;
  DigitGroups b;
  const bool negativeA = unpack(a);
  const bool negativeQuotient = divisor.unpack(b) != negativeA;
  const int32_t exponentA = decimal_internal::leadingExponent(a);
  const int32_t exponentB = decimal_internal::leadingExponent(b);
  // 10^(Ea - Eb - 1) < |a / b| < 10^(Ea - Eb + 1).
  if (kind != DivisionKind::remainder && exponentA - exponentB - 1 >= integerLimit()) {
    return setStatus(overflow);
  }
  // Quotient digits wanted after the point: scale plus one to round on.
  const int32_t wanted = kind == DivisionKind::quotient ? scale_ + 1 : 0;
  if (exponentA - exponentB + 1 <= -wanted) {
    // The quotient is below the last digit wanted: zero, and a is the remainder.
    if (kind != DivisionKind::remainder) setZero();
    return ok;
  }
  // Make floor(|a| * 10^wanted / |b|) an integer division of coefficients.
  const int32_t shift = a.low - b.low + wanted;
  const int32_t remainderLow = shift >= 0 ? b.low : a.low + wanted;
  if (!decimal_internal::shiftUp(shift >= 0 ? a : b, shift >= 0 ? shift : -shift)) {
    return setStatus(overflow);
  }
  DigitGroups q;
  DigitGroups r;
  decimal_internal::divideCoefficients(a, b, q, r);
  if (kind == DivisionKind::remainder) {
    r.low += remainderLow;  // the division left r.low at its own zero-group count
    decimal_internal::normalize(r);
    if (r.count == 0) {
      setZero();
      return ok;
    }
    // An exact remainder may need the divisor's finer scale.
    const int32_t needed = decimal_internal::fractionDigits(r);
    if (needed > scale_) {
      const int32_t widened = precision_ + (needed - scale_);
      precision_ = widened < kMaxPrecision ? widened : kMaxPrecision;
      scale_ = needed < precision_ ? needed : precision_;
    }
    return finish(r, negativeA, scale_);
  }
  // divide rounds on the extra digit; the whole-number quotients have none.
  q.low -= wanted;
  return finish(q, negativeQuotient, scale_);
}

}  // namespace bw
