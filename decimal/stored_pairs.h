// Addition and subtraction straight on the stored digit pairs.
//
// The stored form already holds the digits two to a byte, so a sum or a
// difference needs no conversion to another base: the pairs are lined up by
// their exponents, eight of them are combined per 64-bit word (each byte a
// base-100 digit, carries and borrows travelling through the word by the
// hardware's own carry chain), and the result is written back in stored
// form.  This is the everyday path of add and subtract; the general routine
// on digit groups (digit_groups.h) stays for the cases this one declines, so
// both give the same encoding for every operand pair.
#ifndef BRINDLEWORK_DECIMAL_STORED_PAIRS_H
#define BRINDLEWORK_DECIMAL_STORED_PAIRS_H

#include <cstdint>

#include "decimal/big_decimal.h"
#include "decimal/pair_lines.h"
#include "decimal/pair_words.h"

namespace bw {
namespace decimal_internal {

// Widest line-up of the two operands, in pairs, the carry slot included: 208
// digits, enough for any two values of one precision and scale.  Operands of
// different precisions whose exponents lie further apart are declined.
constexpr int32_t kMaxLinedUpPairs = 104;

// An encoding as it lies in its number: its bytes, followed by a 0
// terminator, and its length.
using Encoding = DecimalEncoding;

// a and b are present, nonzero encodings (not 'o').  Adds b to a, or
// subtracts it when subtractB, with the signs taken into account, and writes
// the exact result's encoding to out (pair_words.h).  Both operands are read
// in full before out is asked for its place, so that place may be a's or
// b's own array.  Returns the encoding's length (1 for zero), or
// kPairsOverflow when the result's leading exponent reaches integerLimit, or
// kPairsDeclined; in those two cases out is not asked.
int32_t combinePairs(const Encoding& a, const Encoding& b, bool subtractB, int32_t integerLimit,
                     ResultSink& out);

}  // namespace decimal_internal
}  // namespace bw

#endif
