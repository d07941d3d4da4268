// Integer long division of two coefficients in base 10^8, exact: the quotient
// and the remainder that BigDecimal's divide, divideInteger and remainder
// all start from.
//
// A one-group divisor is a short division, one hardware division per group.
// Longer divisors follow Knuth, The Art of Computer Programming, vol. 2,
// section 4.3.1, Algorithm D; the steps are labelled D1 to D8 as in the book,
// with b = 10^8, n the divisor's groups and m + n the dividend's.
#include "decimal/decimal_assert.h"
#include "decimal/digit_groups.h"

namespace bw {
namespace decimal_internal {

namespace {

constexpr uint64_t kBase = kGroupBase;

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

// x = a * factor, with one more group for the carry out; returns the groups.
int32_t scaleGroups(const uint32_t* a, int32_t count, uint64_t factor, uint32_t* x) {
  uint64_t carry = 0;
  for (int32_t i = 0; i < count; ++i) {
    const uint64_t v = a[i] * factor + carry;
    x[i] = static_cast<uint32_t>(v % kBase);
    carry = v / kBase;
  }
  x[count] = static_cast<uint32_t>(carry);
  return count + 1;
}

}  // namespace

void divideCoefficients(const DigitGroups& n, const DigitGroups& d, DigitGroups& q, DigitGroups& r) {
  BW_DECIMAL_ASSERT(d.count > 0 && d.group[d.count - 1] != 0);
  BW_DECIMAL_ASSERT(n.count == 0 || n.group[n.count - 1] != 0);
  if (compareCoefficients(n, d) < 0) {
    q.count = 0;
    q.low = 0;
    for (int32_t i = 0; i < n.count; ++i) r.group[i] = n.group[i];
    r.count = n.count;
    r.low = 0;
    normalize(r);
    return;
  }
  const int32_t nd = d.count;
  if (nd == 1) {
    setSmall(r, divideBySmall(n, d.group[0], q));
    return;
  }
  // D1. Normalize: multiply both by a factor that makes the divisor's
  // leading group at least b / 2, so that the estimate of D3 is at most two
  // too large.  u gets one group more than the dividend.
  const uint64_t factor = kBase / (d.group[nd - 1] + 1ull);
  uint32_t u[kMaxGroups + 1];
  uint32_t v[kMaxGroups + 1];
  scaleGroups(n.group, n.count, factor, u);
  scaleGroups(d.group, nd, factor, v);
  BW_DECIMAL_ASSERT(v[nd] == 0);
  const uint64_t top = v[nd - 1];
  const uint64_t next = v[nd - 2];
  // D2. Initialize j to m; D7 loops j down to 0.
  const int32_t m = n.count - nd;
  for (int32_t j = m; j >= 0; --j) {
    // D3. Calculate q^ from the two leading groups of the current
    // remainder and the divisor's leading group; test it against the next
    // group and decrease it while it is too large.
    const uint64_t numerator = u[j + nd] * kBase + u[j + nd - 1];
    uint64_t qhat = numerator / top;
    uint64_t rhat = numerator % top;
    while (qhat >= kBase || qhat * next > rhat * kBase + u[j + nd - 2]) {
      --qhat;
      rhat += top;
      if (rhat >= kBase) break;
    }
    // D4. Multiply and subtract: u[j .. j + n] -= q^ * v.
    int64_t borrow = 0;
    uint64_t productCarry = 0;
    for (int32_t i = 0; i < nd; ++i) {
      const uint64_t p = qhat * v[i] + productCarry;
      productCarry = p / kBase;
      const int64_t t = static_cast<int64_t>(u[i + j]) - static_cast<int64_t>(p % kBase) - borrow;
      borrow = t < 0 ? 1 : 0;
      u[i + j] = static_cast<uint32_t>(t + static_cast<int64_t>(kBase) * borrow);
    }
    int64_t t = static_cast<int64_t>(u[j + nd]) - static_cast<int64_t>(productCarry) - borrow;
    // D5. Test remainder: q[j] = q^, unless the subtraction went negative.
    if (t < 0) {
      // D6. Add back: q^ was one too large.
      --qhat;
      uint64_t c = 0;
      for (int32_t i = 0; i < nd; ++i) {
        const uint64_t s = static_cast<uint64_t>(u[i + j]) + v[i] + c;
        u[i + j] = static_cast<uint32_t>(s % kBase);
        c = s / kBase;
      }
      t += static_cast<int64_t>(c);  // the carry out cancels the borrow
    }
    BW_DECIMAL_ASSERT(t >= 0 && qhat < kBase);
    u[j + nd] = static_cast<uint32_t>(t);
    q.group[j] = static_cast<uint32_t>(qhat);
    // D7. Loop on j.
  }
  q.count = m + 1;
  q.low = 0;
  normalize(q);
  // D8. Unnormalize: the remainder is u[0 .. n - 1] divided by the factor.
  DigitGroups scaled;
  for (int32_t i = 0; i < nd; ++i) scaled.group[i] = u[i];
  scaled.count = nd;
  scaled.low = 0;
  while (scaled.count > 0 && scaled.group[scaled.count - 1] == 0) --scaled.count;
  divideBySmall(scaled, static_cast<uint32_t>(factor), r);
}

}  // namespace decimal_internal
}  // namespace bw
