// BigDecimal::OwnString: a number's own array as the place where the
// arithmetic writes its result.
//
// Sums and products are written straight into the receiver's array rather
// than built in a local buffer and copied in.  The place is asked for only
// once the operands have been read in full, so an operand may be the
// receiver itself.
#ifndef BRINDLEWORK_DECIMAL_OWN_STRING_H
#define BRINDLEWORK_DECIMAL_OWN_STRING_H

#include "decimal/big_decimal.h"
#include "decimal/digit_groups.h"
#include "decimal/pair_words.h"

namespace bw {

// The room leaves the last byte alone, and is wide enough that the longest
// result's whole words are always written straight in.
class BigDecimal::OwnString final : public decimal_internal::ResultSink {
 public:
  explicit OwnString(BigDecimal& number)
      : ResultSink(number.bytes_, number.length_, kStorage - 1) {}

  static_assert(kStorage - 1 >= 2 + 8 * ((decimal_internal::kMaxEncodedLength - 2 + 7) / 8),
                "the longest encoding's whole words fit in the array");
  static_assert(kLongestValue == decimal_internal::kMaxEncodedLength,
                "the copy constructor copies the longest encoding");
};

}  // namespace bw

#endif
