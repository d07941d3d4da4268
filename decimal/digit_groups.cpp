// The exact base-100 routines under every BigDecimal operation: unpacking and
// packing the order-preserving encoding, alignment, the three schoolbook
// operations, long division with estimated quotient groups, and rounding.
#include "decimal/digit_groups.h"

#include <cstring>

namespace bw {
namespace decimal_internal {

namespace {

// Stored bytes: a group of value v is v + 10, negated for negative values.
constexpr int kGroupBias = 10;
// An exponent byte holds E + 10 or E - 10 as a signed byte.
constexpr int32_t kMaxStoredExponent = 127 - 10;

int signedByte(char c) { return static_cast<int>(static_cast<signed char>(c)); }

}  // namespace

void normalize(DigitGroups& m) {
  while (m.count > 0 && m.group[m.count - 1] == 0) --m.count;
  int32_t zeros = 0;
  while (zeros < m.count && m.group[zeros] == 0) ++zeros;
  if (zeros > 0) {
    std::memmove(m.group, m.group + zeros, static_cast<size_t>(m.count - zeros));
    m.count -= zeros;
    m.low += 2 * zeros;
  }
  if (m.count == 0) m.low = 0;
}

int32_t leadingExponent(const DigitGroups& m) {
  return m.low + 2 * (m.count - 1) + (m.group[m.count - 1] >= 10 ? 1 : 0);
}

int32_t fractionDigits(const DigitGroups& m) {
  if (m.count == 0) return 0;
  int32_t low = m.low + (m.group[0] % 10 == 0 ? 1 : 0);
  return low < 0 ? -low : 0;
}

bool decode(const char* encoding, uint32_t length, DigitGroups& out) {
  const bool negative = encoding[0] == 'n';
  int stored = signedByte(encoding[1]);
  if (negative) stored = -stored;
  const int32_t exponent = stored >= kGroupBias ? stored - kGroupBias : stored + kGroupBias;
  const int32_t groups = static_cast<int32_t>(length) - 2;
  for (int32_t i = 0; i < groups; ++i) {
    int v = signedByte(encoding[2 + i]);
    if (negative) v = -v;
    out.group[groups - 1 - i] = static_cast<uint8_t>(v - kGroupBias);
  }
  out.count = groups;
  // The leading group always holds two digits, the first of them nonzero.
  out.low = exponent - 2 * groups + 1;
  return negative;
}

uint32_t encode(const DigitGroups& m, bool negative, char* out) {
  if (m.count == 0) {
    out[0] = 'o';
    return 1;
  }
  if (m.count + 3 > kMaxEncodedLength) return 0;
  const int32_t exponent = leadingExponent(m);
  if (exponent > kMaxStoredExponent || exponent < -kMaxStoredExponent) return 0;
  int stored = exponent >= 0 ? exponent + kGroupBias : exponent - kGroupBias;
  out[0] = negative ? 'n' : 'p';
  out[1] = static_cast<char>(negative ? -stored : stored);
  uint32_t length = 2;
  auto put = [&](int pair) {
    const int v = pair + kGroupBias;
    out[length++] = static_cast<char>(negative ? -v : v);
  };
  if (m.group[m.count - 1] >= 10) {
    for (int32_t i = m.count - 1; i >= 0; --i) put(m.group[i]);
  } else {
    // The leading group holds one digit: the stored pairs straddle groups.
    int high = m.group[m.count - 1];
    for (int32_t i = m.count - 2; i >= 0; --i) {
      put(high * 10 + m.group[i] / 10);
      high = m.group[i] % 10;
    }
    if (high != 0) put(high * 10);
  }
  return length;
}

void fromDigits(const char* digits, int32_t count, int32_t leadingPower, DigitGroups& out) {
  out.count = 0;
  out.low = leadingPower - count + 1;
  for (int32_t i = count - 1; i >= 0; i -= 2) {
    const int units = digits[i] - '0';
    const int tens = i >= 1 ? digits[i - 1] - '0' : 0;
    out.group[out.count++] = static_cast<uint8_t>(tens * 10 + units);
  }
  normalize(out);
}

bool shiftUp(DigitGroups& m, int32_t k) {
  if (k <= 0 || m.count == 0) return k >= 0;
  const int32_t whole = k / 2;
  if (k % 2 == 1) {
    int carry = 0;
    for (int32_t i = 0; i < m.count; ++i) {
      const int v = m.group[i] * 10 + carry;
      m.group[i] = static_cast<uint8_t>(v % 100);
      carry = v / 100;
    }
    if (carry != 0) {
      if (m.count >= kMaxGroups) return false;
      m.group[m.count++] = static_cast<uint8_t>(carry);
    }
  }
  if (m.count + whole > kMaxGroups) return false;
  std::memmove(m.group + whole, m.group, static_cast<size_t>(m.count));
  std::memset(m.group, 0, static_cast<size_t>(whole));
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
  int carry = 0;
  for (int32_t i = 0; i < n; ++i) {
    int v = carry + (i < a.count ? a.group[i] : 0) + (i < b.count ? b.group[i] : 0);
    carry = v >= 100 ? 1 : 0;
    r.group[i] = static_cast<uint8_t>(v - 100 * carry);
  }
  r.count = n;
  if (carry != 0) r.group[r.count++] = 1;  // n < kMaxGroups: both operands fit aligned
  r.low = a.low;
  normalize(r);
}

void subtractCoefficients(const DigitGroups& a, const DigitGroups& b, DigitGroups& r) {
  int borrow = 0;
  for (int32_t i = 0; i < a.count; ++i) {
    int v = a.group[i] - borrow - (i < b.count ? b.group[i] : 0);
    borrow = v < 0 ? 1 : 0;
    r.group[i] = static_cast<uint8_t>(v + 100 * borrow);
  }
  r.count = a.count;
  r.low = a.low;
  normalize(r);
}

void multiplyMagnitudes(const DigitGroups& a, const DigitGroups& b, DigitGroups& r) {
  // Column sums stay below 2^32: at most kMaxGroups products of 99 * 99.
  uint32_t column[2 * kMaxGroups];
  const int32_t n = a.count + b.count;
  std::memset(column, 0, sizeof(uint32_t) * static_cast<size_t>(n));
  for (int32_t i = 0; i < a.count; ++i) {
    const uint32_t ai = a.group[i];
    if (ai == 0) continue;
    uint32_t* c = column + i;
    for (int32_t j = 0; j < b.count; ++j) c[j] += ai * b.group[j];
  }
  uint32_t carry = 0;
  for (int32_t i = 0; i < n; ++i) {
    const uint32_t v = column[i] + carry;
    column[i] = v % 100;
    carry = v / 100;
  }
  // Operands come from encodings of at most 101 digits, so n fits.
  r.count = n < kMaxGroups ? n : kMaxGroups;
  for (int32_t i = 0; i < r.count; ++i) r.group[i] = static_cast<uint8_t>(column[i]);
  r.low = a.low + b.low;
  normalize(r);
}

namespace {

// q = n / divisor for a one-group divisor; returns the remainder.
int divideBySmall(const DigitGroups& n, int divisor, DigitGroups& q) {
  int rest = 0;
  for (int32_t i = n.count - 1; i >= 0; --i) {
    const int current = rest * 100 + n.group[i];
    q.group[i] = static_cast<uint8_t>(current / divisor);
    rest = current % divisor;
  }
  q.count = n.count;
  q.low = 0;
  normalize(q);
  return rest;
}

void setSmall(DigitGroups& r, int value) {
  r.low = 0;
  r.count = value == 0 ? 0 : 1;
  r.group[0] = static_cast<uint8_t>(value);
}

}  // namespace

void divideCoefficients(const DigitGroups& n, const DigitGroups& d, DigitGroups& q,
                        DigitGroups& r) {
  if (compareCoefficients(n, d) < 0) {
    q.count = 0;
    q.low = 0;
    std::memcpy(r.group, n.group, static_cast<size_t>(n.count));
    r.count = n.count;
    r.low = 0;
    return;
  }
  const int32_t nd = d.count;
  if (nd == 1) {
    setSmall(r, divideBySmall(n, d.group[0], q));
    return;
  }
  // Normalise so that the divisor's leading group is at least 50; the
  // estimate from the two leading groups is then at most two too large.
  const int factor = 100 / (d.group[nd - 1] + 1);
  uint8_t u[kMaxGroups + 1];
  uint8_t v[kMaxGroups];
  v[0] = v[1] = 0;  // nd >= 2 here; keeps the compiler's flow analysis quiet
  int carry = 0;
  for (int32_t i = 0; i < n.count; ++i) {
    const int x = n.group[i] * factor + carry;
    u[i] = static_cast<uint8_t>(x % 100);
    carry = x / 100;
  }
  u[n.count] = static_cast<uint8_t>(carry);
  carry = 0;
  for (int32_t i = 0; i < nd; ++i) {
    const int x = d.group[i] * factor + carry;
    v[i] = static_cast<uint8_t>(x % 100);
    carry = x / 100;
  }
  const int top = v[nd - 1];
  const int next = v[nd - 2];
  const int32_t m = n.count - nd;
  for (int32_t j = m; j >= 0; --j) {
    const int numerator = u[j + nd] * 100 + u[j + nd - 1];
    int qhat = numerator / top;
    int rhat = numerator % top;
    while (qhat >= 100 || qhat * next > rhat * 100 + u[j + nd - 2]) {
      --qhat;
      rhat += top;
      if (rhat >= 100) break;
    }
    int borrow = 0;
    int productCarry = 0;
    for (int32_t i = 0; i < nd; ++i) {
      const int p = qhat * v[i] + productCarry;
      productCarry = p / 100;
      int t = u[i + j] - p % 100 - borrow;
      borrow = t < 0 ? 1 : 0;
      u[i + j] = static_cast<uint8_t>(t + 100 * borrow);
    }
    int t = u[j + nd] - productCarry - borrow;
    if (t < 0) {
      // The estimate was one too large: add the divisor back once.
      --qhat;
      int c = 0;
      for (int32_t i = 0; i < nd; ++i) {
        const int s = u[i + j] + v[i] + c;
        u[i + j] = static_cast<uint8_t>(s % 100);
        c = s / 100;
      }
      t += c;  // the carry out cancels the borrow that made t negative
    }
    u[j + nd] = static_cast<uint8_t>(t);
    q.group[j] = static_cast<uint8_t>(qhat);
  }
  q.count = m + 1;
  q.low = 0;
  normalize(q);
  // Undo the normalisation of the remainder.
  DigitGroups scaled;
  std::memcpy(scaled.group, u, static_cast<size_t>(nd));
  scaled.count = nd;
  scaled.low = 0;
  // Only the top may be trimmed: the division below reads the groups as a
  // plain integer.
  while (scaled.count > 0 && scaled.group[scaled.count - 1] == 0) --scaled.count;
  divideBySmall(scaled, factor, r);
}

void roundTo(DigitGroups& m, int32_t digits) {
  const int32_t cut = -digits;
  if (m.count == 0 || m.low >= cut) return;
  const int32_t k = cut - m.low;  // digits to drop
  const int32_t firstDropped = k - 1;
  int dropped = 0;
  if (firstDropped / 2 < m.count) {
    const int g = m.group[firstDropped / 2];
    dropped = firstDropped % 2 == 0 ? g % 10 : g / 10;
  }
  const int32_t whole = k / 2;
  if (whole >= m.count) {
    m.count = 0;
  } else {
    std::memmove(m.group, m.group + whole, static_cast<size_t>(m.count - whole));
    m.count -= whole;
    if (k % 2 == 1) {
      int rest = 0;
      for (int32_t i = m.count - 1; i >= 0; --i) {
        const int current = rest * 100 + m.group[i];
        m.group[i] = static_cast<uint8_t>(current / 10);
        rest = current % 10;
      }
    }
  }
  m.low = cut;
  if (dropped >= 5) {
    int32_t i = 0;
    for (;;) {
      if (i == m.count) m.group[m.count++] = 0;
      if (m.group[i] == 99) {
        m.group[i++] = 0;
      } else {
        ++m.group[i];
        break;
      }
    }
  }
  const int32_t low = m.low;
  normalize(m);
  if (m.count == 0) m.low = low;
}

}  // namespace decimal_internal
}  // namespace bw
