// DecimalSum's terms: the exact sum or difference of the running sum and a
// term on aligned digit groups, then the integer limit, as BigDecimal::add
// applies them.
#include "decimal/decimal_sum.h"

namespace bw {

using decimal_internal::DigitGroups;

DecimalSum::DecimalSum(const BigDecimal& first) { take(first, false); }

void DecimalSum::take(const BigDecimal& number, bool negate) {
  precision_ = number.precision_;
  scale_ = number.scale_;
  empty_ = number.isEmpty();
  negative_ = false;
  groups_.count = 0;
  groups_.low = 0;
  if (!number.isZeroOrEmpty()) negative_ = number.unpack(groups_) != negate;
}

void DecimalSum::add(const BigDecimal& term, bool subtract) {
  if (term.isZeroOrEmpty()) return;
  status_ = BigDecimal::ok;
  if (empty_ || groups_.count == 0) {
    take(term, subtract);
    return;
  }
  DigitGroups b;
  const bool negativeB = term.unpack(b) != subtract;
  if (groups_.low != b.low && !decimal_internal::align(groups_, b)) {
    empty_ = true;
    status_ = BigDecimal::overflow;
    return;
  }
  if (negative_ == negativeB) {
    decimal_internal::addCoefficients(groups_, b, groups_);
  } else {
    if (decimal_internal::compareCoefficients(groups_, b) >= 0) {
      decimal_internal::subtractCoefficients(groups_, b, groups_);
    } else {
      decimal_internal::subtractCoefficients(b, groups_, groups_);
      negative_ = negativeB;
    }
    // A difference may have lost its top groups (a sum keeps its top).
    decimal_internal::normalize(groups_);
  }
  if (term.scale_ > scale_) {
    // The digits the term brings past this scale are rounded away now, as
    // add rounds them, by the finishing step.
    BigDecimal rounded;
    rounded.precision_ = precision_;
    rounded.scale_ = scale_;
    status_ = rounded.finish(groups_, negative_, scale_);
    take(rounded, false);
    return;
  }
  // The integer limit, as finish() applies it; the leading digit is looked
  // for only when the top group reaches the limit.
  const int32_t limit = precision_ - scale_;
  if (groups_.count != 0 && groups_.low + decimal_internal::kDigitsPerGroup * groups_.count > limit &&
      decimal_internal::leadingExponent(groups_) >= limit) {
    empty_ = true;
    status_ = BigDecimal::overflow;
  }
}

BigDecimal::Status DecimalSum::store(BigDecimal& out) {
  out.precision_ = precision_;
  out.scale_ = scale_;
  if (empty_) {
    out.clearValue();
    return status_;
  }
  // Exact and within the limit already: finish only packs.
  out.finish(groups_, negative_, BigDecimal::kKeepDigits);
  return status_;
}

}  // namespace bw
