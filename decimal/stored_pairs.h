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
#include <utility>

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

// Operands too far apart or too long for a three-word line, on the
// variable-width line-up (combinePairs' answers).  Out of line, so that its
// large frame is not set up for the short sums.
int32_t combineLongPairs(const Encoding& a, const Encoding& b, bool subtractB,
                         int32_t integerLimit, ResultSink& out);

// combineLongPairs on copies of the operands' and the place's structures:
// only the copies have their addresses taken, so that the short sums keep
// the originals in registers rather than stored in the caller's frame.
inline int32_t longPairs(Encoding a, Encoding b, bool subtractB, int32_t integerLimit, ResultSink out) {
  return combineLongPairs(a, b, subtractB, integerLimit, out);
}

// The sum or difference of operands that fit a W-word line with a slot to
// spare (W <= 3, up to 23 pairs).  The operand with the larger exponent
// lies in the line as it is stored, its leading digit the high digit of
// slot 0; the other is moved down by whole slots and, when the exponents
// differ by an odd number, by one digit.  A sum that carries out of slot 0
// moves down one digit with the carry as its leading digit; one that does
// not has the high operand's leading digit in place.  Only a difference
// must look for its leading digit.  `negative` are the signs as the
// operation sees them.
template <int32_t W>
inline __attribute__((always_inline)) int32_t combineShort(const char* high, int32_t highPairs, bool highNegative, int32_t highExponent,
                     const char* low, int32_t lowPairs, bool lowNegative, int32_t lowStart,
                     bool shifted, int32_t integerLimit, ResultSink& out) {
  uint64_t x[W];
  uint64_t y[W];
  uint64_t r[W];
  loadLine<W>(high, highPairs, high[0] == 'n', x);
  loadLine<W>(low, lowPairs, low[0] == 'n', y);
  shiftSlotsDown<W>(y, lowStart);
  if (shifted) digitDownLine<W>(y);
  if (highNegative == lowNegative) {
    const uint64_t carry = addLines<W>(x, y, r);
    if (carry != 0) digitDownLine<W>(r, carry);
    return writeLine<W, false>(r, highExponent + static_cast<int32_t>(carry), highNegative, integerLimit,
                        out);
  }
  const int order = differenceLines<W>(x, y, r);
  if (order == 0) {
    writeZero(out);
    return 1;
  }
  return finishLine<W>(r, highExponent, order > 0 ? highNegative : lowNegative, integerLimit, out);
}

// a and b are present, nonzero encodings (not 'o').  Adds b to a, or
// subtracts it when subtractB, with the signs taken into account, and writes
// the exact result's encoding to out (pair_words.h).  Both operands are read
// in full before out is asked for its place, so that place may be a's or
// b's own array.  Returns the encoding's length (1 for zero), or
// kPairsOverflow when the result's leading exponent reaches integerLimit, or
// kPairsDeclined; in those two cases out is not asked.  Inline, so that
// the short sums are set up in the caller's registers rather than through
// the operands' and the place's structures in memory.
inline __attribute__((always_inline)) int32_t combinePairs(const Encoding& a, const Encoding& b,
                                                           bool subtractB, int32_t integerLimit,
                                                           ResultSink& out) {
  // Either operand alone too long for the short line: no line-up to work out.
  constexpr uint32_t kLongest = 2 + 8 * kMaxLoadWords - 1;  // 23 pairs and a spare slot
  if (a.length > kLongest || b.length > kLongest) return longPairs(a, b, subtractB, integerLimit, out);
  const char* high = a.bytes;
  const char* low = b.bytes;
  int32_t highPairs = static_cast<int32_t>(a.length) - 2;
  int32_t lowPairs = static_cast<int32_t>(b.length) - 2;
  bool highNegative = high[0] == 'n';
  bool lowNegative = low[0] == 'n';
  // The exponent bytes as a positive value would hold them (E + 10 or
  // E - 10): equal exactly when the leading digits lie at one power, the
  // common case of values of one scale, which needs no line-up.
  const int32_t highStored = highNegative ? -static_cast<signed char>(high[1]) : static_cast<signed char>(high[1]);
  const int32_t lowStored = lowNegative ? -static_cast<signed char>(low[1]) : static_cast<signed char>(low[1]);
  if (highStored == lowStored) {
    const int32_t exponent = leadingExponentOf(high, highNegative);
    lowNegative = lowNegative != subtractB;
    const int32_t end = (highPairs > lowPairs ? highPairs : lowPairs) + 1;
    if (end <= 8) {
      return combineShort<1>(high, highPairs, highNegative, exponent, low, lowPairs, lowNegative, 0,
                             false, integerLimit, out);
    }
    if (end <= 16) {
      return combineShort<2>(high, highPairs, highNegative, exponent, low, lowPairs, lowNegative, 0,
                             false, integerLimit, out);
    }
    return combineShort<3>(high, highPairs, highNegative, exponent, low, lowPairs, lowNegative, 0,
                           false, integerLimit, out);
  }
  int32_t highExponent = leadingExponentOf(high, highNegative);
  int32_t lowExponent = leadingExponentOf(low, lowNegative);
  lowNegative = lowNegative != subtractB;
  if (lowExponent > highExponent) {
    std::swap(high, low);
    std::swap(highPairs, lowPairs);
    std::swap(highNegative, lowNegative);
    std::swap(highExponent, lowExponent);
  }
  const int32_t apart = highExponent - lowExponent;
  const int32_t shifted = apart & 1;
  const int32_t lowStart = (apart - shifted) >> 1;
  const int32_t lowEnd = lowStart + lowPairs + shifted;
  // One slot to spare for the digit a carry pushes out of the last slot.
  const int32_t end = (lowEnd > highPairs ? lowEnd : highPairs) + 1;
  if (end <= 8) {
    return combineShort<1>(high, highPairs, highNegative, highExponent, low, lowPairs, lowNegative,
                           lowStart, shifted != 0, integerLimit, out);
  }
  if (end <= 16) {
    return combineShort<2>(high, highPairs, highNegative, highExponent, low, lowPairs, lowNegative,
                           lowStart, shifted != 0, integerLimit, out);
  }
  if (end <= 24) {
    return combineShort<3>(high, highPairs, highNegative, highExponent, low, lowPairs, lowNegative,
                           lowStart, shifted != 0, integerLimit, out);
  }
  return longPairs(a, b, subtractB, integerLimit, out);
}

}  // namespace decimal_internal
}  // namespace bw

#endif
