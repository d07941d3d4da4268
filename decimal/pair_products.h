// Products of short numbers straight from their stored pairs.
//
// A product of two numbers of up to 20 pairs (40 digits) is formed on
// base-10^8 limbs made four pairs at a time from the stored bytes, rounded to
// the receiver's scale on those limbs and written back in whole words
// (pair_lines.h), without the unpacking into digit groups and the packing
// back that the general product (digit_groups.h) needs.  Both routes give
// the same encoding, or the same overflow, for every operand pair.
#ifndef BRINDLEWORK_DECIMAL_PAIR_PRODUCTS_H
#define BRINDLEWORK_DECIMAL_PAIR_PRODUCTS_H

#include <cstdint>

#include "decimal/big_decimal.h"
#include "decimal/pair_lines.h"

namespace bw {
namespace decimal_internal {

// Longest operand the short product takes, in stored pairs.
constexpr int32_t kMaxProductPairs = 20;

// a and b are present, nonzero encodings, each in a number's own array:
// operands are read sixteen pairs at a time, up to 32 bytes past their
// first pair whatever their length.  Writes a * b, rounded half away
// from zero to `scale` fraction digits, to out, after reading both (so that
// out may be either operand's array).  Returns the encoding's length (1 for
// zero), kPairsOverflow when the rounded product's leading exponent reaches
// integerLimit, or kPairsDeclined (an operand longer than kMaxProductPairs,
// or a product far below the scale or too small for its exponent byte); in
// those two cases out is not asked.
int32_t multiplyPairs(const DecimalEncoding& a, const DecimalEncoding& b, int32_t scale,
                      int32_t integerLimit, ResultSink& out);

}  // namespace decimal_internal
}  // namespace bw

#endif
