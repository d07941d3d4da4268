// Sums and differences of stored digit pairs, eight pairs to a 64-bit word.
//
// Operands that fit a three-word line (up to 23 pairs once lined up, which
// covers any two 38-digit values of one scale) are loaded into fixed-width
// lines in one masked read per word and combined there (pair_lines.h).
// Longer ones, or ones whose exponents lie far apart, are lined up word by
// word over as many words as they span.  Each byte of a word holds one
// base-100 digit; carries and borrows travel through the hardware's carry
// chain (see addLines and subtractLines).
#include "decimal/stored_pairs.h"

#include <cstring>
#include <utility>

#include "decimal/digit_groups.h"
#include "decimal/pair_words.h"

namespace bw {
namespace decimal_internal {

namespace {

constexpr int kPairBias = 10;
constexpr int32_t kMaxStoredExponent = 127 - 10;
constexpr int32_t kMaxWords = (kMaxLinedUpPairs + 7) / 8;

// Stored byte to pair value for both signs: a positive pair v is the byte
// v + 10 (10 to 109), a negative one its negation (147 to 246 unsigned), so
// one table decodes either.
struct PairTables {
  uint8_t value[256] = {};
  constexpr PairTables() {
    for (int v = 0; v < 100; ++v) {
      value[v + kPairBias] = static_cast<uint8_t>(v);
      value[256 - v - kPairBias] = static_cast<uint8_t>(v);
    }
  }
};
constexpr PairTables kTables;


// One operand as it lies in the line-up: its stored pairs, their count, the
// slot of the first one and its sign.
struct Operand {
  const uint8_t* stored;
  int32_t pairs;
  int32_t start;
  bool negative;
};

uint64_t decodeWord(const Operand& o, const uint8_t* stored) {
  const uint64_t raw = loadBigEndian(stored);
  return o.negative ? kNegativeZeroPairs - raw : raw - kZeroPairs;
}

// Word w of the line-up (slots 8w to 8w + 7), the last slot in the lowest
// byte.  An operand of at least eight pairs is read eight stored pairs at a
// time and decoded in one step (v + 10, or its negation, in every byte); a
// word that overhangs its first or last pair is one of those reads moved down
// or up by whole bytes.  Five to seven pairs are read in one word too,
// fewer pair by pair.
inline __attribute__((always_inline)) uint64_t lineUpWord(const Operand& o, int32_t w) {
  const int32_t k = 8 * w - o.start;  // pair index of the word's first slot
  if (k >= o.pairs || k + 8 <= 0) return 0;
  if (o.pairs >= 8) {
    if (k < 0) return decodeWord(o, o.stored) >> (8 * -k);
    if (k + 8 > o.pairs) return decodeWord(o, o.stored + o.pairs - 8) << (8 * (k + 8 - o.pairs));
    return decodeWord(o, o.stored + k);
  }
  if (o.pairs >= 5) {
    // Five to seven pairs: the eight bytes that end with the terminator lie
    // inside the number (sign and exponent bytes included), so one read
    // takes them all; the pairs are moved to the top and the terminator's
    // byte and what follows it masked to "00" pairs before decoding.
    const int32_t up = 8 * (7 - o.pairs);
    const uint64_t keep = ~(~0ull >> (8 * o.pairs));
    const uint64_t fill = o.negative ? kNegativeZeroPairs : kZeroPairs;
    const uint64_t raw = loadBigEndian(o.stored + o.pairs - 7) << up;
    const uint64_t v = unbiasPairs((raw & keep) | (fill & ~keep), o.negative);
    return k >= 0 ? v << (8 * k) : v >> (8 * -k);
  }
  const int32_t low = k > 0 ? k : 0;
  const int32_t high = k + 8 < o.pairs ? k + 8 : o.pairs;
  uint64_t v = 0;
  for (int32_t i = low; i < high; ++i) v = v << 8 | kTables.value[o.stored[i]];
  return v << (8 * (k + 8 - high));
}

// The operands lined up, with everything combineWords needs besides them.
struct LineUp {
  Operand left;
  Operand right;
  bool shifted;         // right's digits move one place down
  bool negativeLeft;    // the signs as the operation sees them
  bool negativeRight;
  int32_t carryPower;   // power of ten of the high digit of slot 0
  int32_t integerLimit;
};

// The sum or difference over W words.  W is a compile-time width so that
// the loops over words unroll and the words stay in registers; words past
// the operands' slots read as zero and change nothing but the time.
template <int32_t W>
int32_t combineWords(const LineUp& u, ResultSink& out) {
  uint64_t x[W];
  uint64_t y[W];
  uint64_t r[W + 2];
  for (int32_t w = 0; w < W; ++w) x[w] = lineUpWord(u.left, w);
  for (int32_t w = 0; w < W; ++w) y[w] = lineUpWord(u.right, w);
  if (u.shifted) {
    uint64_t above = 0;
    for (int32_t w = 0; w < W; ++w) {
      const uint64_t word = y[w];
      y[w] = digitDown(word, above);
      above = word;
    }
  }

  bool negative = u.negativeLeft;
  if (u.negativeLeft == u.negativeRight) {
    addLines<W>(x, y, r);
  } else {
    const int order = differenceLines<W>(x, y, r);
    if (order == 0) {
      writeZero(out);
      return 1;
    }
    if (order < 0) negative = u.negativeRight;
  }

  // The result runs from its first to its last nonzero slot.  Its words
  // are taken from the first slot on; when the leading digit is the low
  // digit of its slot they also move up one digit, so that the first stored
  // pair starts with it.
  r[W] = 0;
  r[W + 1] = 0;
  int32_t firstWord = 0;
  while (r[firstWord] == 0) ++firstWord;
  int32_t lastWord = W - 1;
  while (r[lastWord] == 0) --lastWord;
  const int32_t lead = static_cast<int32_t>(__builtin_clzll(r[firstWord]) >> 3);
  const int32_t first = 8 * firstWord + lead;
  const int32_t last = 8 * lastWord + 7 - static_cast<int32_t>(__builtin_ctzll(r[lastWord]) >> 3);
  int32_t count = last - first + 1;
  const int32_t outWords = (count + 7) / 8;
  uint64_t result[W + 1];
  result[0] = 0;  // count >= 1, so the loop sets it; keeps the flow analysis quiet
  const uint64_t* from = r + firstWord;  // r[W] and r[W + 1] are zero
  for (int32_t j = 0; j <= outWords; ++j) result[j] = pairsUp(from[j], from[j + 1], lead);
  int32_t exponent = u.carryPower - 2 * first;
  if ((result[0] >> 56) < 10) {
    --exponent;
    const bool lastEndsInZero = (splitPairs(result[(count - 1) / 8]).units >> (8 * (7 - (count - 1) % 8)) & 0xFF) == 0;
    for (int32_t j = 0; j < outWords; ++j) result[j] = digitUp(result[j], result[j + 1]);
    if (lastEndsInZero) --count;
  }
  if (exponent >= u.integerLimit) return kPairsOverflow;
  if (exponent < -kMaxStoredExponent || count + 2 > kMaxEncodedLength) return kPairsDeclined;

  const int stored = exponent >= 0 ? exponent + kPairBias : exponent - kPairBias;
  writeEncoding(negative ? 'n' : 'p', static_cast<char>(negative ? -stored : stored), result, count,
                negative, out);
  return 2 + count;
}

}  // namespace

int32_t combineLongPairs(const Encoding& a, const Encoding& b, bool subtractB,
                         int32_t integerLimit, ResultSink& out) {
  const bool negativeA = a.bytes[0] == 'n';
  const bool negativeB = b.bytes[0] == 'n';
  const int32_t exponentA = leadingExponentOf(a.bytes, negativeA);
  const int32_t exponentB = leadingExponentOf(b.bytes, negativeB);
  const int32_t pairsA = static_cast<int32_t>(a.length) - 2;
  const int32_t pairsB = static_cast<int32_t>(b.length) - 2;
  // The line-up follows a's pairs; b's digits move one place when the
  // exponents differ by an odd number.  Slot 0 is kept free for a carry; slot
  // i has its high digit at the power carryPower - 2i.
  const bool shifted = ((exponentA - exponentB) & 1) != 0;
  const int32_t top = exponentB > exponentA ? exponentA + ((exponentB - exponentA + 1) & ~1) : exponentA;
  const int32_t carryPower = top + 2;
  const int32_t startA = (carryPower - exponentA) / 2;
  const int32_t startB = (carryPower - exponentB - (shifted ? 1 : 0)) / 2;
  const int32_t slotsB = pairsB + (shifted ? 1 : 0);
  const int32_t end = startA + pairsA > startB + slotsB ? startA + pairsA : startB + slotsB;
  if (end > kMaxLinedUpPairs) return kPairsDeclined;

  const LineUp u{{reinterpret_cast<const uint8_t*>(a.bytes) + 2, pairsA, startA, negativeA},
                 {reinterpret_cast<const uint8_t*>(b.bytes) + 2, pairsB, startB, negativeB},
                 shifted,
                 negativeA,
                 negativeB != subtractB,
                 carryPower,
                 integerLimit};
  // Widths for up to 38 digits (three words hold 24 slots), for 100-digit
  // operands (seven), and for any two lined-up values.
  const int32_t words = (end + 7) / 8;
  if (words <= 1) return combineWords<1>(u, out);
  if (words <= 2) return combineWords<2>(u, out);
  if (words <= 3) return combineWords<3>(u, out);
  if (words <= 7) return combineWords<7>(u, out);
  return combineWords<kMaxWords>(u, out);
}

}  // namespace decimal_internal
}  // namespace bw
