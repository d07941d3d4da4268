// The short product: schoolbook columns over base-10^8 limbs, one carry
// pass, rounding on the limbs, and the kept limbs split back into pairs.
//
// Limbs are counted from the leading pair, the most significant first, four
// pairs to a limb, and an operand is padded with zero limbs at its end to
// the fixed count K, so that the padding only scales the value and no
// operand is ever shifted.  With K known at compile time the columns unroll
// and stay in registers.
#include "decimal/pair_products.h"

#include "decimal/digit_groups.h"
#include "decimal/pair_vectors.h"

namespace bw {
namespace decimal_internal {

namespace {

constexpr uint64_t kLimbBase = kGroupBase;
constexpr int32_t kLimbDigits = kDigitsPerGroup;

// The first K limbs of a number's pairs, two from each loaded line word.
template <int32_t K>
inline void loadLimbsByWords(const char* number, int32_t pairs, uint64_t* limbs) {
  constexpr int32_t kWords = (K + 1) / 2;
  uint64_t line[kWords];
  loadLine<kWords>(number, pairs, number[0] == 'n', line);
#pragma GCC unroll 8
  for (int32_t j = 0; j < kWords; ++j) {
    const uint64_t groups = groupsOfPairs(line[j]);
    limbs[2 * j] = groups >> 32;
    if (2 * j + 1 < K) limbs[2 * j + 1] = groups & 0xFFFFFFFFull;
  }
}

// The n limbs from `limbs` (n <= 2W) as a line of pair values.
template <int32_t W>
inline void lineOfLimbs(const uint32_t* limbs, int32_t n, uint64_t* line) {
#pragma GCC unroll 8
  for (int32_t j = 0; j < W; ++j) {
    const uint32_t high = 2 * j < n ? limbs[2 * j] : 0;
    const uint32_t low = 2 * j + 1 < n ? limbs[2 * j + 1] : 0;
    line[j] = static_cast<uint64_t>(pairValues(high)) << 32 | pairValues(low);
  }
}

#if BRINDLE_PAIR_VECTORS
// The first K limbs again, sixteen pairs to a vector.  For one or two limbs
// the word form is as quick and its limbs are ready sooner, which is what a
// chain of short products waits on, so only longer operands take this.
// (The way back stays with words for the same reason: in a vector it takes
// fewer instructions but keeps the next product waiting longer.)
constexpr int32_t kFewestVectorLimbs = 3;

template <int32_t K>
inline void loadLimbsByVectors(const char* number, int32_t pairs, uint64_t* limbs) {
  const bool negative = number[0] == 'n';
  const uint8_t* const first = reinterpret_cast<const uint8_t*>(number) + 2;
#pragma GCC unroll 2
  for (int32_t chunk = 0; 4 * chunk < K; ++chunk) {
    const __m128i four = limbsOfPairs(first + 16 * chunk, pairs - 16 * chunk, negative);
    const uint64_t front = static_cast<uint64_t>(_mm_cvtsi128_si64(four));
    const uint64_t back = static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(four, four)));
    uint64_t* const to = limbs + 4 * chunk;
    to[0] = front & 0xFFFFFFFFull;
    if (4 * chunk + 1 < K) to[1] = front >> 32;
    if (4 * chunk + 2 < K) to[2] = back & 0xFFFFFFFFull;
    if (4 * chunk + 3 < K) to[3] = back >> 32;
  }
}
#endif

template <int32_t K>
inline void loadLimbs(const char* number, int32_t pairs, uint64_t* limbs) {
#if BRINDLE_PAIR_VECTORS
  if (K >= kFewestVectorLimbs) return loadLimbsByVectors<K>(number, pairs, limbs);
#endif
  loadLimbsByWords<K>(number, pairs, limbs);
}

// Writes the n limbs from `limbs` (n <= 2W) as a line, the high digit of
// the first at topPower.
template <int32_t W>
int32_t writeLimbs(const uint32_t* limbs, int32_t n, int32_t topPower, bool negative,
                   int32_t integerLimit, ResultSink& out) {
  uint64_t line[W];
  lineOfLimbs<W>(limbs, n, line);
  return finishLine<W>(line, topPower, negative, integerLimit, out);
}

template <int32_t K>
int32_t multiplyLimbs(const char* a, int32_t pairsA, const char* b, int32_t pairsB,
                      int32_t exponentSum, bool negative, int32_t scale, int32_t integerLimit,
                      ResultSink& out) {
  // A column holds at most K products below 10^16; a column's high part
  // plus the next one's low part must fit 32 bits.
  static_assert((K + 1) * kLimbBase < (1ull << 32), "carries fit 32 bits");
  uint64_t x[K];
  uint64_t y[K];
  loadLimbs<K>(a, pairsA, x);
  loadLimbs<K>(b, pairsB, y);
  // Column k of the product, the most significant first.
  uint64_t column[2 * K - 1];
#pragma GCC unroll 16
  for (int32_t k = 0; k < 2 * K - 1; ++k) {
    uint64_t sum = 0;
#pragma GCC unroll 8
    for (int32_t i = k < K ? 0 : k - K + 1; i <= (k < K ? k : K - 1); ++i) sum += x[i] * y[k - i];
    column[k] = sum;
  }
  // The carries: a chain of divisions from the last column up would wait
  // for each division in turn, so every column is split on its own, the
  // high parts (below K * 10^8) are added one column up and split again,
  // and only the last carries (at most K) ripple.  r[0] is room for a
  // rounding carry, r[1] takes what leaves the top column, r[k + 2] is
  // column k.
  uint32_t r[2 * K + 1];
  uint64_t high[2 * K];
  uint64_t low[2 * K - 1];
#pragma GCC unroll 16
  for (int32_t k = 0; k < 2 * K - 1; ++k) {
    high[k] = column[k] / kLimbBase;
    low[k] = column[k] - high[k] * kLimbBase;
  }
  high[2 * K - 1] = 0;
  uint32_t again[2 * K];
  uint32_t rest[2 * K - 1];
#pragma GCC unroll 16
  for (int32_t k = 0; k < 2 * K - 1; ++k) {
    const uint32_t t = static_cast<uint32_t>(low[k] + high[k + 1]);  // below (K + 1) * 10^8
    again[k] = t / static_cast<uint32_t>(kLimbBase);
    rest[k] = t - again[k] * static_cast<uint32_t>(kLimbBase);
  }
  again[2 * K - 1] = 0;
  r[0] = 0;
  r[1] = static_cast<uint32_t>(high[0] + again[0]);
#pragma GCC unroll 16
  for (int32_t k = 0; k < 2 * K - 1; ++k) r[k + 2] = rest[k] + again[k + 1];
#pragma GCC unroll 16
  for (int32_t k = 2 * K; k > 1; --k) {
    if (r[k] >= kLimbBase) {
      r[k] -= kLimbBase;
      r[k - 1] += 1;
    }
  }

  // Each operand's first limb has its high digit at its leading exponent,
  // so the last limb's units lie at this power.
  const int32_t unitsPower = exponentSum + 2 - 2 * kLimbDigits * K;
  int32_t last = 2 * K;  // the lowest limb kept
  const int32_t drop = -scale - unitsPower;  // digits below the scale
  if (drop > 0) {
    if (drop > 2 * kLimbDigits * K) return kPairsDeclined;
    last = 2 * K - drop / kLimbDigits;
    const int32_t part = drop % kLimbDigits;
    const int32_t first = drop - 1;  // the first dropped digit, from the units up
    const uint32_t digit =
        dropDigits(r[2 * K - first / kLimbDigits], first % kLimbDigits) % 10;
    r[last] = dropDigits(r[last], part) * kPowerOfTen[part];
    if (digit >= 5) {
      // Half away from zero: the magnitude goes up.
      int32_t i = last;
      r[i] += kPowerOfTen[part];
      while (r[i] >= kLimbBase) {
        r[i] -= kLimbBase;
        r[--i] += 1;
      }
    }
  }
  int32_t top = 0;
  while (top <= last && r[top] == 0) ++top;
  if (top > last) {
    writeZero(out);
    return 1;
  }
  const int32_t n = last - top + 1;
  const int32_t topPower = unitsPower + kLimbDigits * (2 * K - top) + kLimbDigits - 1;
  if (n <= 2) return writeLimbs<1>(r + top, n, topPower, negative, integerLimit, out);
  if (n <= 4) return writeLimbs<2>(r + top, n, topPower, negative, integerLimit, out);
  if (n <= 6) return writeLimbs<3>(r + top, n, topPower, negative, integerLimit, out);
  return writeLimbs<6>(r + top, n, topPower, negative, integerLimit, out);
}

}  // namespace

int32_t multiplyPairs(const DecimalEncoding& a, const DecimalEncoding& b, int32_t scale,
                      int32_t integerLimit, ResultSink& out) {
  const int32_t pairsA = static_cast<int32_t>(a.length) - 2;
  const int32_t pairsB = static_cast<int32_t>(b.length) - 2;
  const int32_t longer = pairsA > pairsB ? pairsA : pairsB;
  if (longer > kMaxProductPairs) return kPairsDeclined;
  const bool negativeA = a.bytes[0] == 'n';
  const bool negativeB = b.bytes[0] == 'n';
  const int32_t exponentSum =
      leadingExponentOf(a.bytes, negativeA) + leadingExponentOf(b.bytes, negativeB);
  const bool negative = negativeA != negativeB;
  // Up to 8, 16 and 40 digits.
  if (longer <= 4) {
    return multiplyLimbs<1>(a.bytes, pairsA, b.bytes, pairsB, exponentSum, negative, scale,
                            integerLimit, out);
  }
  if (longer <= 8) {
    return multiplyLimbs<2>(a.bytes, pairsA, b.bytes, pairsB, exponentSum, negative, scale,
                            integerLimit, out);
  }
  return multiplyLimbs<5>(a.bytes, pairsA, b.bytes, pairsB, exponentSum, negative, scale,
                          integerLimit, out);
}

}  // namespace decimal_internal
}  // namespace bw
