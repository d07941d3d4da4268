// The exact base-10^8 routines under every BigDecimal operation: unpacking and
// packing the order-preserving encoding, alignment, the three schoolbook
// operations, long division with estimated quotient groups, and rounding.
#include "decimal/digit_groups.h"

#include <cstring>

#include "decimal/pair_words.h"

namespace bw {
namespace decimal_internal {

namespace {

// Stored bytes: a pair of value v is v + 10, negated for negative values.
constexpr int kPairBias = 10;
// An exponent byte holds E + 10 or E - 10 as a signed byte.
constexpr int32_t kMaxStoredExponent = 127 - 10;
constexpr uint64_t kBase = kGroupBase;


int signedByte(char c) { return static_cast<int>(static_cast<signed char>(c)); }

// Decimal digits of a nonzero group value.
int32_t digitCount(uint32_t v) {
  int32_t n = 1;
  while (n < kDigitsPerGroup && v >= kPowerOfTen[n]) ++n;
  return n;
}

// Trailing zero digits of a nonzero group value, by halving steps.
int32_t trailingZeroDigits(uint32_t v) {
  int32_t n = 0;
  if (v % 10000 == 0) {
    n += 4;
    v /= 10000;
  }
  if (v % 100 == 0) {
    n += 2;
    v /= 100;
  }
  return v % 10 == 0 ? n + 1 : n;
}

// Digit `position` (0 = units) of the coefficient; 0 past the top.
int digitAt(const DigitGroups& m, int32_t position) {
  const int32_t g = position / kDigitsPerGroup;
  if (g >= m.count) return 0;
  return static_cast<int>(dropDigits(m.group[g], position % kDigitsPerGroup) % 10);
}

// Moves the groups above the lowest k down by k places (count unchanged).
// A plain loop: the copies are a few words long, shorter than the call of a
// library memmove.
void dropLowGroups(DigitGroups& m, int32_t k) {
  for (int32_t i = k; i < m.count; ++i) m.group[i - k] = m.group[i];
}

}  // namespace

void normalize(DigitGroups& m) {
  // Most results are normalized already: both end groups nonzero.
  if (m.count > 0 && m.group[m.count - 1] != 0 && m.group[0] != 0) return;
  while (m.count > 0 && m.group[m.count - 1] == 0) --m.count;
  int32_t zeros = 0;
  while (zeros < m.count && m.group[zeros] == 0) ++zeros;
  if (zeros > 0) {
    dropLowGroups(m, zeros);
    m.count -= zeros;
    m.low += kDigitsPerGroup * zeros;
  }
  if (m.count == 0) m.low = 0;
}

int32_t leadingExponent(const DigitGroups& m) {
  return m.low + kDigitsPerGroup * (m.count - 1) + digitCount(m.group[m.count - 1]) - 1;
}

int32_t fractionDigits(const DigitGroups& m) {
  if (m.count == 0) return 0;
  const int32_t low = m.low + trailingZeroDigits(m.group[0]);
  return low < 0 ? -low : 0;
}

int32_t coefficientDigits(const DigitGroups& m, char* out) {
  if (m.count == 0) return 0;
  int32_t n = 0;
  uint32_t top = m.group[m.count - 1];
  for (int32_t d = digitCount(top) - 1; d >= 0; --d) {
    out[n++] = static_cast<char>('0' + top / kPowerOfTen[d] % 10);
  }
  for (int32_t i = m.count - 2; i >= 0; --i) {
    uint32_t v = m.group[i];
    for (int32_t d = kDigitsPerGroup - 1; d >= 0; --d) {
      out[n + d] = static_cast<char>('0' + v % 10);
      v /= 10;
    }
    n += kDigitsPerGroup;
  }
  return n;
}

bool decode(const char* encoding, uint32_t length, DigitGroups& out) {
  const bool negative = encoding[0] == 'n';
  const int sign = negative ? -1 : 1;
  const int stored = sign * signedByte(encoding[1]);
  const int32_t exponent = stored >= kPairBias ? stored - kPairBias : stored + kPairBias;
  const int32_t pairs = static_cast<int32_t>(length) - 2;
  const signed char* pair = reinterpret_cast<const signed char*>(encoding) + 2;
  auto value = [pair, sign](int32_t i) { return static_cast<uint32_t>(sign * pair[i] - kPairBias); };
  // Four stored pairs make one group, counted from the last pair.  Eight
  // at a time are read as one word, decoded in every byte at once, and
  // joined into two groups in 16- and then 32-bit lanes.
  int32_t end = pairs;
  int32_t g = 0;
  for (; end >= 8; end -= 8) {
    uint64_t raw;
    std::memcpy(&raw, pair + end - 8, sizeof(raw));
    raw = __builtin_bswap64(raw);
    const uint64_t eights = groupsOfPairs(negative ? kNegativeZeroPairs - raw : raw - kZeroPairs);
    out.group[g++] = static_cast<uint32_t>(eights);
    out.group[g++] = static_cast<uint32_t>(eights >> 32);
  }
  if (end >= 4) {
    // Four pairs (at most one such step after the words): one 32-bit read,
    // decoded and joined the same way in narrower lanes.
    uint32_t raw;
    std::memcpy(&raw, pair + end - 4, sizeof(raw));
    raw = __builtin_bswap32(raw);
    const uint32_t v = negative ? 0xF6F6F6F6u - raw : raw - 0x0A0A0A0Au;
    const uint32_t fours = ((v >> 8) & 0x00FF00FFu) * 100 + (v & 0x00FF00FFu);
    out.group[g++] = (fours >> 16) * 10000 + (fours & 0xFFFFu);
    end -= 4;
  }
  if (end > 0) {
    uint32_t v = 0;
    for (int32_t i = 0; i < end; ++i) v = v * 100 + value(i);
    out.group[g++] = v;
  }
  out.count = g;
  // The leading pair always holds two digits, the first of them nonzero.
  out.low = exponent - 2 * pairs + 1;
  return negative;
}

uint32_t encode(const DigitGroups& m, bool negative, ResultSink& out) {
  if (m.count == 0) {
    writeZero(out);
    return 1;
  }
  const int32_t exponent = leadingExponent(m);
  if (exponent > kMaxStoredExponent || exponent < -kMaxStoredExponent) return 0;
  // Stored pairs run from the leading digit down to the last nonzero one.
  const int32_t lowest = m.low + trailingZeroDigits(m.group[0]);
  const int32_t pairs = (exponent - lowest + 2) / 2;
  if (pairs + 2 > kMaxEncodedLength) return 0;
  // The groups' pairs as one line of words from the top group down, two
  // groups to a word; an odd count starts with an empty half.  The line
  // pairs the digits as (7,6) (5,4) (3,2) (1,0) of every group, so it starts
  // `lead` digits above the leading one.
  uint64_t line[kMaxGroups / 2 + 3];
  int32_t g = m.count - 1;
  int32_t words = 0;
  if ((m.count & 1) != 0) line[words++] = pairValues(m.group[g--]);
  for (; g > 0; g -= 2) {
    line[words++] = static_cast<uint64_t>(pairValues(m.group[g])) << 32 | pairValues(m.group[g - 1]);
  }
  line[words] = 0;
  line[words + 1] = 0;
  const int32_t lead = m.low + 2 * kDigitsPerGroup * words - 1 - exponent;  // 0 to 15
  const int32_t skip = lead / 2;  // whole pairs, within the first word
  const int32_t outWords = (pairs + 7) / 8;
  const int stored = exponent >= 0 ? exponent + kPairBias : exponent - kPairBias;
  uint64_t values[kMaxEncodingWords];
  if ((lead & 1) == 0) {
    for (int32_t j = 0; j < outWords; ++j) values[j] = pairsUp(line[j], line[j + 1], skip);
  } else {
    // The leading digit is the low digit of its pair: one digit up as well.
    uint64_t word = pairsUp(line[0], line[1], skip);
    for (int32_t j = 0; j < outWords; ++j) {
      const uint64_t next = pairsUp(line[j + 1], line[j + 2], skip);
      values[j] = digitUp(word, next);
      word = next;
    }
  }
  writeEncoding(negative ? 'n' : 'p', static_cast<char>(negative ? -stored : stored), values, pairs,
                negative, out);
  return static_cast<uint32_t>(2 + pairs);
}

bool shiftUp(DigitGroups& m, int32_t k) {
  if (k <= 0 || m.count == 0) return k >= 0;
  const int32_t whole = k / kDigitsPerGroup;
  const int32_t part = k % kDigitsPerGroup;
  if (part != 0) {
    const uint64_t factor = kPowerOfTen[part];
    uint64_t carry = 0;
    for (int32_t i = 0; i < m.count; ++i) {
      const uint64_t v = m.group[i] * factor + carry;
      m.group[i] = static_cast<uint32_t>(v % kBase);
      carry = v / kBase;
    }
    if (carry != 0) {
      if (m.count >= kMaxGroups) return false;
      m.group[m.count++] = static_cast<uint32_t>(carry);
    }
  }
  if (m.count + whole > kMaxGroups) return false;
  std::memmove(m.group + whole, m.group, sizeof(uint32_t) * static_cast<size_t>(m.count));
  std::memset(m.group, 0, sizeof(uint32_t) * static_cast<size_t>(whole));
  m.count += whole;
  m.low -= k;
  return true;
}

bool align(DigitGroups& a, DigitGroups& b) {
  const int32_t low = a.low < b.low ? a.low : b.low;
  return shiftUp(a, a.low - low) && shiftUp(b, b.low - low);
}

int compareCoefficients(const DigitGroups& a, const DigitGroups& b) {
  if (a.count != b.count) return a.count < b.count ? -1 : 1;
  for (int32_t i = a.count - 1; i >= 0; --i) {
    if (a.group[i] != b.group[i]) return a.group[i] < b.group[i] ? -1 : 1;
  }
  return 0;
}

void addCoefficients(const DigitGroups& a, const DigitGroups& b, DigitGroups& r) {
  const int32_t n = a.count > b.count ? a.count : b.count;
  uint32_t carry = 0;
  for (int32_t i = 0; i < n; ++i) {
    uint32_t v = carry + (i < a.count ? a.group[i] : 0) + (i < b.count ? b.group[i] : 0);
    carry = v >= kGroupBase ? 1 : 0;
    r.group[i] = v - kGroupBase * carry;
  }
  r.count = n;
  // Aligned operands of at most 101 digits leave room for the carry.
  if (carry != 0 && r.count < kMaxGroups) r.group[r.count++] = 1;
  r.low = a.low;
  normalize(r);
}

void subtractCoefficients(const DigitGroups& a, const DigitGroups& b, DigitGroups& r) {
  uint32_t borrow = 0;
  for (int32_t i = 0; i < a.count; ++i) {
    const uint32_t take = borrow + (i < b.count ? b.group[i] : 0);
    const uint32_t have = a.group[i];
    borrow = have < take ? 1 : 0;
    r.group[i] = have + kGroupBase * borrow - take;
  }
  r.count = a.count;
  r.low = a.low;
  normalize(r);
}

namespace {

// The product of two coefficients of at most K groups each, zero-padded to
// K, into 2K groups.  With K known at compile time both loops unroll and the
// column sums stay in registers; short operands pay for the padding's
// products, which is still less than a loop whose bounds change per column.
template <int32_t K>
void multiplyPadded(const DigitGroups& a, const DigitGroups& b, DigitGroups& r) {
  uint32_t x[K];
  uint32_t y[K];
#pragma GCC unroll 8
  for (int32_t i = 0; i < K; ++i) {
    x[i] = i < a.count ? a.group[i] : 0;
    y[i] = i < b.count ? b.group[i] : 0;
  }
  uint64_t carry = 0;
#pragma GCC unroll 16
  for (int32_t k = 0; k < 2 * K; ++k) {
    uint64_t sum = carry;
#pragma GCC unroll 8
    for (int32_t i = k < K ? 0 : k - K + 1; i <= (k < K ? k : K - 1); ++i) {
      sum += static_cast<uint64_t>(x[i]) * y[k - i];
    }
    r.group[k] = static_cast<uint32_t>(sum % kBase);
    carry = sum / kBase;
  }
  r.count = 2 * K;
  r.low = a.low + b.low;
  normalize(r);
}

}  // namespace

void multiplyMagnitudes(const DigitGroups& a, const DigitGroups& b, DigitGroups& r) {
  // Up to 16 and up to 40 digits: the fixed-size products.
  const int32_t longer = a.count > b.count ? a.count : b.count;
  if (longer <= 2) return multiplyPadded<2>(a, b, r);
  if (longer <= 5) return multiplyPadded<5>(a, b, r);
  // Column by column, each column summed in a register: a row-by-row sum
  // into memory would read every column back right after writing it at a
  // different offset, which the processor cannot forward from its store
  // buffer.  Column sums stay below 2^64: at most kMaxGroups products below
  // 10^16, plus a carry below 2^64 / 10^8.
  int32_t n = a.count + b.count;
  if (n > kMaxGroups) n = kMaxGroups;  // operands of 101 digits need 26
  uint64_t carry = 0;
  for (int32_t k = 0; k < n; ++k) {
    const int32_t low = k - (b.count - 1) > 0 ? k - (b.count - 1) : 0;
    const int32_t high = k < a.count - 1 ? k : a.count - 1;
    uint64_t sum = carry;
    for (int32_t i = low; i <= high; ++i) sum += static_cast<uint64_t>(a.group[i]) * b.group[k - i];
    r.group[k] = static_cast<uint32_t>(sum % kBase);
    carry = sum / kBase;
  }
  r.count = n;
  r.low = a.low + b.low;
  normalize(r);
}

namespace {

// q = n / divisor for a one-group divisor; returns the remainder.
uint32_t divideBySmall(const DigitGroups& n, uint32_t divisor, DigitGroups& q) {
  uint64_t rest = 0;
  for (int32_t i = n.count - 1; i >= 0; --i) {
    const uint64_t current = rest * kBase + n.group[i];
    q.group[i] = static_cast<uint32_t>(current / divisor);
    rest = current % divisor;
  }
  q.count = n.count;
  q.low = 0;
  normalize(q);
  return static_cast<uint32_t>(rest);
}

void setSmall(DigitGroups& r, uint32_t value) {
  r.low = 0;
  r.count = value == 0 ? 0 : 1;
  r.group[0] = value;
}

}  // namespace

void divideCoefficients(const DigitGroups& n, const DigitGroups& d, DigitGroups& q,
                        DigitGroups& r) {
  if (compareCoefficients(n, d) < 0) {
    q.count = 0;
    q.low = 0;
    std::memcpy(r.group, n.group, sizeof(uint32_t) * static_cast<size_t>(n.count));
    r.count = n.count;
    r.low = 0;
    return;
  }
  const int32_t nd = d.count;
  if (nd == 1) {
    setSmall(r, divideBySmall(n, d.group[0], q));
    return;
  }
  // Normalise so that the divisor's leading group is at least half the base;
  // the estimate from the two leading groups is then at most two too large.
  const uint64_t factor = kBase / (d.group[nd - 1] + 1ull);
  uint32_t u[kMaxGroups + 1];
  uint32_t v[kMaxGroups];
  v[0] = v[1] = 0;  // nd >= 2 here; keeps the compiler's flow analysis quiet
  uint64_t carry = 0;
  for (int32_t i = 0; i < n.count; ++i) {
    const uint64_t x = n.group[i] * factor + carry;
    u[i] = static_cast<uint32_t>(x % kBase);
    carry = x / kBase;
  }
  u[n.count] = static_cast<uint32_t>(carry);
  carry = 0;
  for (int32_t i = 0; i < nd; ++i) {
    const uint64_t x = d.group[i] * factor + carry;
    v[i] = static_cast<uint32_t>(x % kBase);
    carry = x / kBase;
  }
  const uint64_t top = v[nd - 1];
  const uint64_t next = v[nd - 2];
  const int32_t m = n.count - nd;
  for (int32_t j = m; j >= 0; --j) {
    const uint64_t numerator = u[j + nd] * kBase + u[j + nd - 1];
    uint64_t qhat = numerator / top;
    uint64_t rhat = numerator % top;
    while (qhat >= kBase || qhat * next > rhat * kBase + u[j + nd - 2]) {
      --qhat;
      rhat += top;
      if (rhat >= kBase) break;
    }
    int64_t borrow = 0;
    uint64_t productCarry = 0;
    for (int32_t i = 0; i < nd; ++i) {
      const uint64_t p = qhat * v[i] + productCarry;
      productCarry = p / kBase;
      int64_t t = static_cast<int64_t>(u[i + j]) - static_cast<int64_t>(p % kBase) - borrow;
      borrow = t < 0 ? 1 : 0;
      u[i + j] = static_cast<uint32_t>(t + static_cast<int64_t>(kBase) * borrow);
    }
    int64_t t = static_cast<int64_t>(u[j + nd]) - static_cast<int64_t>(productCarry) - borrow;
    if (t < 0) {
      // The estimate was one too large: add the divisor back once.
      --qhat;
      uint64_t c = 0;
      for (int32_t i = 0; i < nd; ++i) {
        const uint64_t s = static_cast<uint64_t>(u[i + j]) + v[i] + c;
        u[i + j] = static_cast<uint32_t>(s % kBase);
        c = s / kBase;
      }
      t += static_cast<int64_t>(c);  // the carry out cancels the borrow that made t negative
    }
    u[j + nd] = static_cast<uint32_t>(t);
    q.group[j] = static_cast<uint32_t>(qhat);
  }
  q.count = m + 1;
  q.low = 0;
  normalize(q);
  // Undo the normalisation of the remainder.  Only the top may be trimmed:
  // the division below reads the groups as a plain integer.
  DigitGroups scaled;
  std::memcpy(scaled.group, u, sizeof(uint32_t) * static_cast<size_t>(nd));
  scaled.count = nd;
  scaled.low = 0;
  while (scaled.count > 0 && scaled.group[scaled.count - 1] == 0) --scaled.count;
  divideBySmall(scaled, static_cast<uint32_t>(factor), r);
}

void roundTo(DigitGroups& m, int32_t digits) {
  const int32_t cut = -digits;
  if (m.count == 0 || m.low >= cut) return;
  const int32_t k = cut - m.low;  // digits to drop
  const int dropped = digitAt(m, k - 1);
  const int32_t whole = k / kDigitsPerGroup;
  const int32_t part = k % kDigitsPerGroup;
  // Drop whole groups, then clear the low `part` digits of the new lowest
  // group in place: the group boundary stays where it was, which spares a
  // division of every group.
  if (whole >= m.count) {
    m.count = 0;
  } else if (whole > 0) {
    dropLowGroups(m, whole);
    m.count -= whole;
  }
  m.low += kDigitsPerGroup * whole;
  const uint32_t unit = kPowerOfTen[part];
  if (m.count > 0) m.group[0] = dropDigits(m.group[0], part) * unit;
  if (dropped >= 5) {
    if (m.count == 0) {
      m.group[0] = 0;
      m.count = 1;
    }
    uint32_t add = unit;
    for (int32_t i = 0; add != 0; ++i) {
      if (i == m.count) m.group[m.count++] = 0;
      const uint32_t v = m.group[i] + add;
      add = v >= kGroupBase ? 1 : 0;
      m.group[i] = v - kGroupBase * add;
    }
  }
  normalize(m);
}

}  // namespace decimal_internal
}  // namespace bw
