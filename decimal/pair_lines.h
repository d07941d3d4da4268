// Short lines of digit pairs held in a few 64-bit words: the fixed-width
// form in which the fast sum and the fast product take their operands and
// hand back their result.
//
// A line of W words has 8W slots, slot 0 in the top byte of word 0, each
// holding one base-100 digit (pair_words.h).  An operand is loaded into a
// line in one masked read per word, whatever its length, so that no loop
// runs over its pairs; a result line is turned into its encoding by
// finishLine, which finds its leading and trailing digits, moves it into
// place and writes it in whole words.  W is a compile-time width so that
// every loop over words unrolls and the words stay in registers.
#ifndef BRINDLEWORK_DECIMAL_PAIR_LINES_H
#define BRINDLEWORK_DECIMAL_PAIR_LINES_H

#include <cstdint>
#include <cstring>

#include "decimal/pair_words.h"

namespace bw {
namespace decimal_internal {

// Answers of the pair routines besides a length.
constexpr int32_t kPairsDeclined = 0;   // outside this path: use the group routine
constexpr int32_t kPairsOverflow = -1;  // the result needs too many integer digits

// Widest line an operand is loaded into, and widest result line.
constexpr int32_t kMaxLoadWords = 3;
constexpr int32_t kMaxLineWords = 6;
constexpr int32_t kMaxLineSlots = 8 * kMaxLineWords;

// kTopSlots.word[n][j]: the bytes of word j that hold slots 0 to n - 1.
struct TopSlotMasks {
  uint64_t word[kMaxLineSlots + 1][kMaxLineWords] = {};
  constexpr TopSlotMasks() {
    for (int32_t n = 0; n <= kMaxLineSlots; ++n) {
      for (int32_t slot = 0; slot < n; ++slot) {
        word[n][slot / 8] |= 0xFFull << (56 - 8 * (slot % 8));
      }
    }
  }
};
constexpr TopSlotMasks kTopSlots;

// The power of ten of a present, nonzero encoding's leading digit: its
// exponent byte holds E + 10 or E - 10, negated for a negative value.
inline int32_t leadingExponentOf(const char* number, bool negative) {
  const int32_t flip = negative ? -1 : 0;
  const int32_t stored = (static_cast<signed char>(number[1]) ^ flip) - flip;
  // stored is at least 10 or at most -11: its sign bit tells which.
  return stored - 10 + (static_cast<int32_t>(static_cast<uint32_t>(stored) >> 31) * 20);
}

// Digits after the point of a present, nonzero encoding: its last pair
// ends at the power E - 2 * pairs + 1, one higher when its low digit is 0.
inline int32_t fractionDigitsOf(const char* number, uint32_t length) {
  const bool negative = number[0] == 'n';
  const int32_t last = static_cast<signed char>(number[length - 1]);
  const int32_t value = (negative ? -last : last) - 10;
  const int32_t lowest = leadingExponentOf(number, negative) - 2 * static_cast<int32_t>(length - 2) +
                         1 + (value % 10 == 0 ? 1 : 0);
  return lowest < 0 ? -lowest : 0;
}

// The pair values of a number's `count` stored pairs (its bytes from 2 on)
// in slots 0 to count - 1 of a W-word line; every other slot is 0.  count <=
// 8W <= 24.  A negative number's byte is 246 - v, whose complement is v + 9,
// so one XOR and one subtraction decode either sign; the mask is applied
// first, so that the bytes past the pairs (the terminator and whatever
// follows it) cannot borrow from the pairs.  The words are read where
// finishLine writes them, so that a number's result is read back from the
// store buffer whole.
template <int32_t W>
inline void loadLine(const char* number, int32_t count, bool negative, uint64_t* line) {
  static_assert(W <= kMaxLoadWords, "loaded lines are at most three words");
  const uint64_t flip = negative ? ~0ull : 0;
  const uint64_t bias = kZeroPairs - (flip & kOnes);
  const uint8_t* pairs = reinterpret_cast<const uint8_t*>(number) + 2;
  for (int32_t j = 0; j < W; ++j) {
    const uint64_t keep = kTopSlots.word[count][j];
    line[j] = ((loadBigEndian(pairs + 8 * j) ^ flip) & keep) - (bias & keep);
  }
}

// The line moved `slots` slots towards its end (0 <= slots < 8W); slots
// pushed off the end are lost, slots that open at the start are 0.  Whole
// words move in up to W - 1 steps of fixed indices, so that the line stays
// in registers rather than being indexed in memory.
template <int32_t W>
inline void shiftSlotsDown(uint64_t* line, int32_t slots) {
  const int32_t words = slots >> 3;
  for (int32_t step = 1; step < W; ++step) {
    if (words < step) break;
    for (int32_t j = W - 1; j > 0; --j) line[j] = line[j - 1];
    line[0] = 0;
  }
  const int32_t bits = 8 * (slots & 7);
  if (bits == 0) return;
  for (int32_t j = W - 1; j > 0; --j) line[j] = (line[j] >> bits) | (line[j - 1] << (64 - bits));
  line[0] >>= bits;
}

// The other way: slot i gets slot i + slots; slots open at the end as 0.
template <int32_t W>
inline void shiftSlotsUp(uint64_t* line, int32_t slots) {
  const int32_t words = slots >> 3;
  for (int32_t step = 1; step < W; ++step) {
    if (words < step) break;
    for (int32_t j = 0; j + 1 < W; ++j) line[j] = line[j + 1];
    line[W - 1] = 0;
  }
  const int32_t bits = 8 * (slots & 7);
  if (bits == 0) return;
  for (int32_t j = 0; j + 1 < W; ++j) line[j] = (line[j] << bits) | (line[j + 1] >> (64 - bits));
  line[W - 1] <<= bits;
}

// The whole line one decimal digit towards its end, `enter` (0 to 9)
// becoming the high digit of slot 0: each slot's units are split off once
// and shared by the slot and its neighbour.
template <int32_t W>
inline void digitDownLine(uint64_t* line, uint64_t enter = 0) {
  uint64_t aboveUnits = enter;
  for (int32_t j = 0; j < W; ++j) {
    const SplitPairs here = splitPairs(line[j]);
    line[j] = here.tens + ((here.units >> 8) | (aboveUnits << 56)) * 10;
    aboveUnits = here.units;
  }
}

// One decimal digit towards its start; the top digit of slot 0 is lost.
template <int32_t W>
inline void digitUpLine(uint64_t* line) {
  SplitPairs here = splitPairs(line[0]);
  for (int32_t j = 0; j < W; ++j) {
    const SplitPairs below = j + 1 < W ? splitPairs(line[j + 1]) : SplitPairs{0, 0};
    line[j] = here.units * 10 + ((here.tens << 8) | (below.tens >> 56));
    here = below;
  }
}

// Which bytes of word w of a line carried (or borrowed) out, one bit at the
// bottom of each: t holds x ^ y ^ result for every word, whose bit 8k + 8 is
// the carry into byte k + 1, that is out of byte k; the top byte's carry out
// is bit 0 of the word above (or `out` for word 0).  One double shift per
// word, with no flag to keep from the chain.
template <int32_t W>
inline uint64_t carriedBytes(const uint64_t* t, int32_t w, uint64_t out) {
  const uint64_t above = w > 0 ? t[w - 1] : out;
  return ((t[w] >> 8) | (above << 56)) & kOnes;
}

// r = x + y; returns the carry out of slot 0 (0 or 1).  One operand's
// bytes are raised by 156 so that a byte pair reaching 100 carries through
// the hardware's chain; the bytes that did not carry lose the 156 again.
// The words are summed as one wide number first, so that the chain runs in
// add-with-carry steps, and corrected after.
template <int32_t W>
inline uint64_t addLines(const uint64_t* x, const uint64_t* y, uint64_t* r) {
  constexpr uint64_t kCarryBias = kOnes * 156;
  uint64_t sum[W];
  uint64_t t[W];
  uint64_t carry = 0;
  for (int32_t w = W - 1; w >= 0; --w) {
    const uint64_t biased = x[w] + kCarryBias;
    sum[w] = addWithCarry(biased, y[w], carry);
    t[w] = biased ^ y[w] ^ sum[w];
  }
  for (int32_t w = 0; w < W; ++w) r[w] = sum[w] - (carriedBytes<W>(t, w, carry) ^ kOnes) * 156;
  return carry;
}

// x - y for x >= y: a byte that borrowed holds its value plus 256 and loses
// 156 of it.
template <int32_t W>
inline void subtractLines(const uint64_t* x, const uint64_t* y, uint64_t* r) {
  uint64_t difference[W];
  uint64_t t[W];
  uint64_t borrow = 0;
  for (int32_t w = W - 1; w >= 0; --w) {
    difference[w] = subtractWithBorrow(x[w], y[w], borrow);
    t[w] = x[w] ^ y[w] ^ difference[w];
  }
  // x >= y: nothing borrows out of slot 0.
  for (int32_t w = 0; w < W; ++w) r[w] = difference[w] - carriedBytes<W>(t, w, 0) * 156;
}

template <int32_t W>
inline int compareLines(const uint64_t* x, const uint64_t* y) {
  for (int32_t w = 0; w < W; ++w) {
    if (x[w] != y[w]) return x[w] < y[w] ? -1 : 1;
  }
  return 0;
}

// r = |x - y|; returns the sign of x - y (-1, 0 or 1; r is unset for 0).
template <int32_t W>
inline int differenceLines(const uint64_t* x, const uint64_t* y, uint64_t* r) {
  const int order = compareLines<W>(x, y);
  if (order > 0) subtractLines<W>(x, y, r);
  if (order < 0) subtractLines<W>(y, x, r);
  return order;
}

// Writes a result line whose slot 0 holds the leading digit as its high
// digit, that digit at the power `exponent`.  Returns the encoding's length,
// kPairsOverflow when the exponent reaches integerLimit, or kPairsDeclined
// when it is too small for its byte; out is asked for its place only when a
// length is returned.  The pairs go out as whole words at the places
// loadLine reads, the bytes past the last pair masked to 0 so that the last
// word carries the terminator.
// A sum, whose exponent is never below its operands', passes mayBeTiny =
// false and skips that test.
template <int32_t W, bool mayBeTiny = true>
inline int32_t writeLine(const uint64_t* line, int32_t exponent, bool negative,
                         int32_t integerLimit, ResultSink& out) {
  static_assert(W <= kMaxLineWords, "result lines are at most six words");
  constexpr int32_t kPairBias = 10;
  constexpr int32_t kMaxStoredExponent = 127 - 10;
  if (exponent >= integerLimit) return kPairsOverflow;
  if (mayBeTiny && exponent < -kMaxStoredExponent) return kPairsDeclined;
  // The last nonzero word, picked with fixed indices so that the line is
  // never indexed in memory and stays in registers.
  uint64_t last = line[W - 1];
  int32_t lastWord = W - 1;
  for (int32_t j = W - 2; j >= 0; --j) {
    if (last == 0) {
      last = line[j];
      lastWord = j;
    }
  }
  const int32_t pairs = 8 * lastWord + 8 - static_cast<int32_t>(__builtin_ctzll(last) >> 3);
  const int stored = exponent >= 0 ? exponent + kPairBias : exponent - kPairBias;
  uint8_t* const to = reinterpret_cast<uint8_t*>(out.reserveWords(static_cast<uint32_t>(2 + pairs)));
  const uint8_t head[2] = {static_cast<uint8_t>(negative ? 'n' : 'p'),
                           static_cast<uint8_t>(negative ? -stored : stored)};
  std::memcpy(to, head, 2);
  // The bytes kept are worked out from the last word itself rather than
  // looked up by the length, which would put a table load on the path from
  // one sum's result to the next sum's operand.
  const uint64_t lastKeep = ~0ull << (__builtin_ctzll(last) & 56);
  for (int32_t j = 0; j < W; ++j) {
    const uint64_t keep = j < lastWord ? ~0ull : (j == lastWord ? lastKeep : 0);
    storeBigEndian(to + 2 + 8 * j, biasPairs(line[j], negative) & keep);
  }
  if (pairs == 8 * W) storeBigEndian(to + 2 + 8 * W, 0);
  return 2 + pairs;
}

// Writes the exact value of any result line (as writeLine, 1 for zero):
// the line's slot 0 has its high digit at the power topPower.  The first
// nonzero slot moves to slot 0; when its high digit is 0 the line moves one
// more digit, so that the first stored pair starts with the leading digit.
template <int32_t W>
inline int32_t finishLine(uint64_t* line, int32_t topPower, bool negative, int32_t integerLimit,
                          ResultSink& out) {
  // The first nonzero word, with fixed indices as in writeLine.
  uint64_t first = line[0];
  int32_t firstWord = 0;
  for (int32_t j = 1; j < W; ++j) {
    if (first == 0) {
      first = line[j];
      firstWord = j;
    }
  }
  if (first == 0) {
    writeZero(out);
    return 1;
  }
  const int32_t lead = 8 * firstWord + static_cast<int32_t>(__builtin_clzll(first) >> 3);
  if (lead != 0) shiftSlotsUp<W>(line, lead);
  const bool lowDigit = (line[0] >> 56) < 10;
  if (lowDigit) digitUpLine<W>(line);
  return writeLine<W>(line, topPower - 2 * lead - (lowDigit ? 1 : 0), negative, integerLimit, out);
}

}  // namespace decimal_internal
}  // namespace bw

#endif
