// DecimalSum: a running sum of BigDecimals, kept in digit groups between its
// terms.
//
// BigDecimal::add and subtract unpack both operands, add them and pack the
// result.  In a chain such as "a + b - c + d" packing each intermediate sum
// only to unpack it again for the next term is most of the work, so the
// evaluator keeps the running sum here and packs it once, at the end.  Every
// term goes through the same exact kernel as add and subtract (they are
// one-term sums), and the result is, term by term, what they would give:
//   * the sum has the first number's precision and scale; while the sum is
//     zero or has no value, the next nonzero term is taken whole, with its
//     precision and scale;
//   * a zero term, or one with no value, changes nothing;
//   * a term of wider scale than the sum's is rounded in at once, through
//     BigDecimal::finish, the one step that rounds;
//   * an intermediate sum past the integer limit has no value (status
//     overflow), and the next term starts the sum again.
#ifndef BRINDLEWORK_DECIMAL_DECIMAL_SUM_H
#define BRINDLEWORK_DECIMAL_DECIMAL_SUM_H

#include <cstdint>

#include "decimal/big_decimal.h"
#include "decimal/digit_groups.h"

namespace bw {

class DecimalSum {
 public:
  explicit DecimalSum(const BigDecimal& first);

  // Adds the term, or subtracts it when `subtract`.
  void add(const BigDecimal& term, bool subtract);

  // Stores the sum (value, precision and scale) in out; returns the status of
  // the last term that changed it.
  BigDecimal::Status store(BigDecimal& out);

 private:
  // Starts again from a number: its value (negated when `negate`), precision
  // and scale.
  void take(const BigDecimal& number, bool negate);

  decimal_internal::DigitGroups groups_;  // the magnitude; count 0 is zero
  bool negative_ = false;
  bool empty_ = false;  // no value
  BigDecimal::Status status_ = BigDecimal::ok;
  int32_t precision_ = BigDecimal::kDefaultPrecision;
  int32_t scale_ = BigDecimal::kDefaultScale;
};

}  // namespace bw

#endif
