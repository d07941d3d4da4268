// Sums and differences of stored digit pairs, eight pairs to a 64-bit word.
//
// Each byte of a word holds one base-100 digit (0 to 99), the least
// significant pair in the lowest byte.  For a sum, every byte of one operand
// is raised by 156 first, so that a byte pair whose sum reaches 100 overflows
// its byte and the carry moves on by itself; bytes that did not carry still
// hold the 156 and get it taken off afterwards.  A difference works the same
// way round: a byte that borrowed holds its value plus 256 and loses 156.
// Which bytes carried or borrowed is read off the sum's bits (a ^ b ^ sum).
#include "decimal/stored_pairs.h"

#include <cstring>

#include "decimal/digit_groups.h"

namespace bw {
namespace decimal_internal {

namespace {

constexpr int kPairBias = 10;
constexpr int32_t kMaxStoredExponent = 127 - 10;
constexpr uint64_t kOnes = 0x0101010101010101ull;
constexpr uint64_t kCarryBias = kOnes * 156;  // 256 - 100 in every byte
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

int32_t exponentOf(const char* encoding, bool negative) {
  const int byte = static_cast<signed char>(encoding[1]);
  const int stored = negative ? -byte : byte;
  return stored >= kPairBias ? stored - kPairBias : stored + kPairBias;
}

constexpr uint64_t kZeroPairs = kOnes * kPairBias;          // "00" pairs, positive
constexpr uint64_t kNegativeZeroPairs = kOnes * (256 - kPairBias);  // and negative

uint64_t loadBigEndian(const uint8_t* bytes) {
  uint64_t v;
  std::memcpy(&v, bytes, sizeof(v));
  return __builtin_bswap64(v);
}

void storeBigEndian(uint8_t* bytes, uint64_t v) {
  v = __builtin_bswap64(v);
  std::memcpy(bytes, &v, sizeof(v));
}

// The tens and units digits of the eight pair values of a word, each in its
// own byte.  The tens are (v * 103) >> 10, exact for v below 100, worked out
// in 16-bit lanes (odd and even bytes apart) so that no lane overflows.
struct SplitPairs {
  uint64_t tens;
  uint64_t units;
};

SplitPairs splitPairs(uint64_t v) {
  constexpr uint64_t kLanes = 0x00FF00FF00FF00FFull;
  constexpr uint64_t kDigit = 0x000F000F000F000Full;
  const uint64_t even = v & kLanes;
  const uint64_t odd = (v >> 8) & kLanes;
  const uint64_t tens = (((even * 103) >> 10) & kDigit) | ((((odd * 103) >> 10) & kDigit) << 8);
  return {tens, v - tens * 10};
}

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
// or up by whole bytes.  Shorter operands go pair by pair.
inline __attribute__((always_inline)) uint64_t lineUpWord(const Operand& o, int32_t w) {
  const int32_t k = 8 * w - o.start;  // pair index of the word's first slot
  if (k >= o.pairs || k + 8 <= 0) return 0;
  if (o.pairs >= 8) {
    if (k < 0) return decodeWord(o, o.stored) >> (8 * -k);
    if (k + 8 > o.pairs) return decodeWord(o, o.stored + o.pairs - 8) << (8 * (k + 8 - o.pairs));
    return decodeWord(o, o.stored + k);
  }
  const int32_t low = k > 0 ? k : 0;
  const int32_t high = k + 8 < o.pairs ? k + 8 : o.pairs;
  uint64_t v = 0;
  for (int32_t i = low; i < high; ++i) v = v << 8 | kTables.value[o.stored[i]];
  return v << (8 * (k + 8 - high));
}

// Moves a line-up one digit towards the less significant end: slot j gets
// the low digit of slot j - 1 as its high digit and the high digit of slot j
// as its low one.  `above` is the word before (more significant).
uint64_t digitDown(uint64_t word, uint64_t above) {
  const SplitPairs here = splitPairs(word);
  const uint64_t aboveUnits = splitPairs(above).units;
  return here.tens + ((here.units >> 8) | (aboveUnits << 56)) * 10;
}

// The other way: slot j gets the low digit of slot j and the high digit of
// slot j + 1.  `below` is the word after (less significant).
uint64_t digitUp(uint64_t word, uint64_t below) {
  const SplitPairs here = splitPairs(word);
  const uint64_t belowTens = splitPairs(below).tens;
  return here.units * 10 + ((here.tens << 8) | (belowTens >> 56));
}

void addWords(const uint64_t* x, const uint64_t* y, uint64_t* r, int32_t words) {
  uint64_t carry = 0;
  for (int32_t w = words - 1; w >= 0; --w) {
    const uint64_t biased = x[w] + kCarryBias;
    const uint64_t other = y[w];
    const uint64_t partial = biased + other;
    const uint64_t sum = partial + carry;
    const uint64_t carryOut = static_cast<uint64_t>(partial < biased) | static_cast<uint64_t>(sum < partial);
    const uint64_t carried = (((biased ^ other ^ sum) >> 8) & kOnes) | (carryOut << 56);
    r[w] = sum - (carried ^ kOnes) * 156;
    carry = carryOut;
  }
}

// x - y for x >= y.
void subtractWords(const uint64_t* x, const uint64_t* y, uint64_t* r, int32_t words) {
  uint64_t borrow = 0;
  for (int32_t w = words - 1; w >= 0; --w) {
    const uint64_t have = x[w];
    const uint64_t take = y[w];
    const uint64_t partial = have - take;
    const uint64_t difference = partial - borrow;
    const uint64_t borrowOut =
        static_cast<uint64_t>(have < take) | static_cast<uint64_t>(partial < borrow);
    const uint64_t borrowed = (((have ^ take ^ difference) >> 8) & kOnes) | (borrowOut << 56);
    r[w] = difference - borrowed * 156;
    borrow = borrowOut;
  }
}

int compareWords(const uint64_t* x, const uint64_t* y, int32_t words) {
  for (int32_t w = 0; w < words; ++w) {
    if (x[w] != y[w]) return x[w] < y[w] ? -1 : 1;
  }
  return 0;
}

}  // namespace

int32_t combinePairs(const char* a, uint32_t lengthA, const char* b, uint32_t lengthB,
                     bool subtractB, int32_t integerLimit, char* out) {
  const bool negativeA = a[0] == 'n';
  const bool negativeB = (b[0] == 'n') != subtractB;
  const int32_t exponentA = exponentOf(a, a[0] == 'n');
  const int32_t exponentB = exponentOf(b, b[0] == 'n');
  const int32_t pairsA = static_cast<int32_t>(lengthA) - 2;
  const int32_t pairsB = static_cast<int32_t>(lengthB) - 2;
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
  const int32_t words = (end + 7) / 8;

  const Operand left{reinterpret_cast<const uint8_t*>(a) + 2, pairsA, startA, a[0] == 'n'};
  const Operand right{reinterpret_cast<const uint8_t*>(b) + 2, pairsB, startB, b[0] == 'n'};
  uint64_t x[kMaxWords];
  uint64_t y[kMaxWords];
  uint64_t r[kMaxWords + 2];
  for (int32_t w = 0; w < words; ++w) x[w] = lineUpWord(left, w);
  if (!shifted) {
    for (int32_t w = 0; w < words; ++w) y[w] = lineUpWord(right, w);
  } else {
    uint64_t above = 0;
    for (int32_t w = 0; w < words; ++w) {
      const uint64_t word = lineUpWord(right, w);
      y[w] = digitDown(word, above);
      above = word;
    }
  }

  bool negative = negativeA;
  if (negativeA == negativeB) {
    addWords(x, y, r, words);
  } else {
    const int order = compareWords(x, y, words);
    if (order == 0) {
      out[0] = 'o';
      return 1;
    }
    if (order > 0) {
      subtractWords(x, y, r, words);
    } else {
      subtractWords(y, x, r, words);
      negative = negativeB;
    }
  }

  // The result runs from its first to its last nonzero slot.  Its words
  // are taken from the first slot on; when the leading digit is the low
  // digit of its slot they also move up one digit, so that the first stored
  // pair starts with it.
  r[words] = 0;
  r[words + 1] = 0;
  int32_t firstWord = 0;
  while (r[firstWord] == 0) ++firstWord;
  int32_t lastWord = words - 1;
  while (r[lastWord] == 0) --lastWord;
  const int32_t lead = static_cast<int32_t>(__builtin_clzll(r[firstWord]) >> 3);
  const int32_t first = 8 * firstWord + lead;
  const int32_t last = 8 * lastWord + 7 - static_cast<int32_t>(__builtin_ctzll(r[lastWord]) >> 3);
  int32_t count = last - first + 1;
  const int32_t outWords = (count + 7) / 8;
  uint64_t result[kMaxWords + 1];
  const uint64_t* from = r + firstWord;  // r[words] and r[words + 1] are zero
  if (lead == 0) {
    for (int32_t j = 0; j <= outWords; ++j) result[j] = from[j];
  } else {
    const int32_t up = 8 * lead;
    for (int32_t j = 0; j <= outWords; ++j) result[j] = (from[j] << up) | (from[j + 1] >> (64 - up));
  }
  int32_t exponent = carryPower - 2 * first;
  if ((result[0] >> 56) < 10) {
    --exponent;
    const bool lastEndsInZero = (splitPairs(result[(count - 1) / 8]).units >> (8 * (7 - (count - 1) % 8)) & 0xFF) == 0;
    for (int32_t j = 0; j < outWords; ++j) result[j] = digitUp(result[j], result[j + 1]);
    if (lastEndsInZero) --count;
  }
  if (exponent >= integerLimit) return kPairsOverflow;
  if (exponent < -kMaxStoredExponent || count + 2 > kMaxEncodedLength) return kPairsDeclined;

  const int stored = exponent >= 0 ? exponent + kPairBias : exponent - kPairBias;
  out[0] = negative ? 'n' : 'p';
  out[1] = static_cast<char>(negative ? -stored : stored);
  uint8_t* p = reinterpret_cast<uint8_t*>(out) + 2;
  for (int32_t j = 0; j < outWords; ++j) {
    storeBigEndian(p + 8 * j, negative ? kNegativeZeroPairs - result[j] : result[j] + kZeroPairs);
  }
  return 2 + count;
}

}  // namespace decimal_internal
}  // namespace bw
