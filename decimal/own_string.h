// BigDecimal::OwnString: a number's own string as the place where the
// arithmetic writes its result.
//
// Sums and products are written straight into the receiver's string rather
// than built in a local buffer and copied in.  The place is asked for only
// once the operands have been read in full, so an operand may be the
// receiver itself or share its string.
#ifndef BRINDLEWORK_DECIMAL_OWN_STRING_H
#define BRINDLEWORK_DECIMAL_OWN_STRING_H

#include "decimal/big_decimal.h"
#include "decimal/pair_words.h"

namespace bw {

// The string is given the result's length: a string of its own keeps its
// buffer when the result fits (nothing is copied or allocated), a shared
// one becomes one new block (the old bytes it copies are overwritten).  The
// buffer, less the terminator's byte, is the room.
class BigDecimal::OwnString final : public decimal_internal::ResultSink {
 public:
  explicit OwnString(QelString& digits) : digits_(digits) {}
  char* reserve(uint32_t length, uint32_t& room) override {
    char* const end = digits_.setLength(length);
    room = digits_.capacity() - 1;
    return end - length;
  }

 private:
  QelString& digits_;
};

}  // namespace bw

#endif
