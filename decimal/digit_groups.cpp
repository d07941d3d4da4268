// The exact base-10^8 kernels under every BigDecimal operation: unpacking the
// stored pairs, alignment, the schoolbook sum, difference and product, and
// the rounding that BigDecimal::finish applies.  Long division is in
// long_division.cpp.
#include "decimal/digit_groups.h"

#include "decimal/decimal_assert.h"
#include "decimal/decimal_encoding.h"

namespace bw {
namespace decimal_internal {

namespace {

constexpr uint64_t kBase = kGroupBase;

// v / 10^k for k in 0..8.  Each case divides by a constant, which the
// compiler turns into a multiplication rather than a hardware division.
uint32_t dropDigits(uint32_t v, int32_t k) {
  switch (k) {
    case 0: return v;
    case 1: return v / 10;
    case 2: return v / 100;
    case 3: return v / 1000;
    case 4: return v / 10000;
    case 5: return v / 100000;
    case 6: return v / 1000000;
    case 7: return v / 10000000;
    default: return v / 100000000;
  }
}

// Decimal digits of a nonzero group value (below 10^8), by halving steps.
int32_t digitCount(uint32_t v) {
  if (v >= 10000) {
    if (v >= 1000000) return v >= 10000000 ? 8 : 7;
    return v >= 100000 ? 6 : 5;
  }
  if (v >= 100) return v >= 1000 ? 4 : 3;
  return v >= 10 ? 2 : 1;
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
void dropLowGroups(DigitGroups& m, int32_t k) {
  for (int32_t i = k; i < m.count; ++i) m.group[i - k] = m.group[i];
}

}  // namespace

void normalize(DigitGroups& m) {
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
  BW_DECIMAL_ASSERT(m.count > 0 && m.group[m.count - 1] != 0);
  return m.low + kDigitsPerGroup * (m.count - 1) + digitCount(m.group[m.count - 1]) - 1;
}

int32_t fractionDigits(const DigitGroups& m) {
  if (m.count == 0) return 0;
  BW_DECIMAL_ASSERT(m.group[0] != 0);
  const int32_t low = m.low + trailingZeroDigits(m.group[0]);
  return low < 0 ? -low : 0;
}

bool decode(const char* encoding, uint32_t length, DigitGroups& out) {
  BW_DECIMAL_ASSERT(length >= 3 && encoding[0] != kZeroByte);
  const int32_t pairs = static_cast<int32_t>(length) - 2;
  BW_DECIMAL_ASSERT(pairs <= 4 * kMaxGroups);
  const bool negative = isNegativeEncoding(encoding);
  const int flip = signFlip(negative);
  const char* const pair = encoding + 2;
  auto value = [pair, flip](int32_t i) { return static_cast<uint32_t>(pairValue(pair[i], flip)); };
  // Four stored pairs make one group, counted from the last pair.
  int32_t g = 0;
  int32_t end = pairs;
  for (; end >= 4; end -= 4) {
    out.group[g++] = (value(end - 4) * 100 + value(end - 3)) * 10000 + value(end - 2) * 100 + value(end - 1);
  }
  if (end > 0) {
    uint32_t v = 0;
    for (int32_t i = 0; i < end; ++i) v = v * 100 + value(i);
    out.group[g++] = v;
  }
  out.count = g;
  // The leading pair always holds two digits, the first of them nonzero.
  out.low = exponentOf(encoding) - 2 * pairs + 1;
  return negative;
}

uint32_t encode(DigitGroups& m, int32_t exponent, bool negative, char* out) {
  BW_DECIMAL_ASSERT(m.count > 0 && m.group[0] != 0 && m.group[m.count - 1] != 0);
  BW_DECIMAL_ASSERT(exponent == leadingExponent(m));
  // A stored pair's low digit lies at a power of the parity of E - 1; a
  // group's pairs have theirs at low, low + 2, ...  When the parities
  // differ, the coefficient is multiplied by ten (low drops by one).
  if (((exponent - 1 - m.low) & 1) != 0) {
    uint32_t carry = 0;
    for (int32_t i = 0; i < m.count; ++i) {
      const uint32_t v = m.group[i];
      const uint32_t high = v / (kGroupBase / 10);
      m.group[i] = (v - high * (kGroupBase / 10)) * 10 + carry;
      carry = high;
    }
    BW_DECIMAL_ASSERT(carry == 0 || m.count < kMaxGroups);
    if (carry != 0) m.group[m.count++] = carry;
    --m.low;
  }
  // Every pair from the one holding the leading digit down to group 0 is
  // written, then the zero pairs at the end are taken back.
  BW_DECIMAL_ASSERT(2 + 4 * m.count <= kMaxEncodedLength);
  writeHead(out, exponent, negative);
  const int flip = signFlip(negative);
  const int32_t top = m.count - 1;
  int32_t j = (exponent - 1 - m.low - kDigitsPerGroup * top) / 2;  // 0 to 3
  uint32_t n = 2;
  auto put = [&](uint32_t pair) { out[n++] = storedPair(static_cast<int>(pair), flip); };
  // The top group from pair j down (its four pairs, most significant last),
  // then every lower group's four.
  const uint32_t v = m.group[top];
  const uint32_t topPairs[4] = {v % 100, v / 100 % 100, v / 10000 % 100, v / 1000000};
  for (; j >= 0; --j) put(topPairs[j]);
  for (int32_t g = top - 1; g >= 0; --g) {
    const uint32_t high = m.group[g] / 10000;
    const uint32_t low = m.group[g] - high * 10000;
    put(high / 100);
    put(high % 100);
    put(low / 100);
    put(low % 100);
  }
  const char zeroPair = storedPair(0, flip);
  while (out[n - 1] == zeroPair) --n;
  out[n] = 0;
  return n;
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
  if (whole > 0) {
    for (int32_t i = m.count - 1; i >= 0; --i) m.group[i + whole] = m.group[i];
    for (int32_t i = 0; i < whole; ++i) m.group[i] = 0;
    m.count += whole;
  }
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
  BW_DECIMAL_ASSERT(a.low == b.low);
  const int32_t n = a.count > b.count ? a.count : b.count;
  uint32_t carry = 0;
  for (int32_t i = 0; i < n; ++i) {
    const uint32_t v = carry + (i < a.count ? a.group[i] : 0) + (i < b.count ? b.group[i] : 0);
    carry = v >= kGroupBase ? 1 : 0;
    r.group[i] = v - kGroupBase * carry;
  }
  r.count = n;
  BW_DECIMAL_ASSERT(carry == 0 || n < kMaxGroups);
  if (carry != 0) r.group[r.count++] = 1;
  r.low = a.low;
}

void subtractCoefficients(const DigitGroups& a, const DigitGroups& b, DigitGroups& r) {
  BW_DECIMAL_ASSERT(a.low == b.low && compareCoefficients(a, b) >= 0);
  uint32_t borrow = 0;
  for (int32_t i = 0; i < a.count; ++i) {
    const uint32_t take = borrow + (i < b.count ? b.group[i] : 0);
    const uint32_t have = a.group[i];
    borrow = have < take ? 1 : 0;
    r.group[i] = have + kGroupBase * borrow - take;
  }
  r.count = a.count;
  r.low = a.low;
}

void multiplyMagnitudes(const DigitGroups& a, const DigitGroups& b, DigitGroups& r) {
  BW_DECIMAL_ASSERT(a.count > 0 && b.count > 0 && a.count + b.count <= kMaxGroups);
  // Column by column, each column summed in a register.  Column sums stay
  // below 2^64: at most kMaxGroups products below 10^16, plus a carry below
  // 2^64 / 10^8.
  const int32_t n = a.count + b.count;
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
}

void roundTo(DigitGroups& m, int32_t digits) {
  normalize(m);
  const int32_t cut = -digits;
  if (m.count == 0 || m.low >= cut) return;
  const int32_t k = cut - m.low;  // digits to drop
  const int dropped = digitAt(m, k - 1);
  const int32_t whole = k / kDigitsPerGroup;
  const int32_t part = k % kDigitsPerGroup;
  // Drop whole groups, then clear the low `part` digits of the new lowest
  // group in place: the group boundary stays where it was.
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
    // Half away from zero: one unit at the last kept digit, carried up.
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
