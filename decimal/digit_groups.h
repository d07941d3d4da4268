// DigitGroups: the unpacked working form of a BigDecimal magnitude, used only
// inside the decimal arithmetic.
//
// A magnitude is an unsigned integer coefficient in base 10^8 (one group of
// eight decimal digits per 32-bit word, least significant group first) times
// 10^low.  The stored form keeps digits in pairs, which suits the byte-order
// comparison but not computation; every operation therefore unpacks its
// operands into this form on the stack, computes the exact result with one
// kernel, and hands it to BigDecimal::finish, the one step that rounds and
// packs (a run of sums stays in this form between its terms: decimal_sum.h).
// Every routine here is exact except roundTo, which finish alone calls.
#ifndef BRINDLEWORK_DECIMAL_DIGIT_GROUPS_H
#define BRINDLEWORK_DECIMAL_DIGIT_GROUPS_H

#include <cstdint>

namespace bw {
namespace decimal_internal {

constexpr uint32_t kGroupBase = 100000000;  // 10^8
constexpr int32_t kDigitsPerGroup = 8;

// Room for 336 digits.  The widest value any operation builds is the shifted
// dividend of a division, at most about 205 digits; shiftUp reports failure
// rather than write past the end.
constexpr int32_t kMaxGroups = 42;

constexpr uint32_t kPowerOfTen[kDigitsPerGroup + 1] = {
    1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};

struct DigitGroups {
  int32_t count = 0;  // groups in use; 0 is the value zero
  int32_t low = 0;    // power of ten of the units digit of group 0
  uint32_t group[kMaxGroups];
};

// Drops zero groups at the top and at the bottom (raising low by 8 for each
// bottom one), so that zero has count 0.
void normalize(DigitGroups& m);

// Power of ten of the leading digit of a nonzero normalized value.
int32_t leadingExponent(const DigitGroups& m);

// Number of digits after the point of a normalized value.
int32_t fractionDigits(const DigitGroups& m);

// Unpacks a present, nonzero encoding; returns its sign.
bool decode(const char* encoding, uint32_t length, DigitGroups& out);

// Packs a nonzero normalized magnitude whose leading digit is at the power
// `exponent`, with its sign, into out (room for kMaxEncodedLength bytes and
// the terminator); returns the length.  m may be moved by one digit (its
// value unchanged) to line its digits up with the stored pairs.
uint32_t encode(DigitGroups& m, int32_t exponent, bool negative, char* out);

// Multiplies the coefficient by 10^k (k >= 0) and lowers low by k, leaving
// the value unchanged.  False when the result would not fit.
bool shiftUp(DigitGroups& m, int32_t k);

// Brings both to the smaller of their lows.  False when that does not fit.
bool align(DigitGroups& a, DigitGroups& b);

// Coefficient comparison (-1, 0, 1); meaningful when the lows are equal.
int compareCoefficients(const DigitGroups& a, const DigitGroups& b);

// r = a + b and r = a - b (a >= b) on aligned operands; r may be a or b
// (each group is read before it is written).
void addCoefficients(const DigitGroups& a, const DigitGroups& b, DigitGroups& r);
void subtractCoefficients(const DigitGroups& a, const DigitGroups& b, DigitGroups& r);

// r = a * b, exact, by schoolbook multiplication.
void multiplyMagnitudes(const DigitGroups& a, const DigitGroups& b, DigitGroups& r);

// Integer long division of the coefficients (long_division.cpp): q =
// floor(n / d), r = n - q * d, d nonzero.  q and r are normalized, their
// lows counted from an integer (low 0) result.
void divideCoefficients(const DigitGroups& n, const DigitGroups& d, DigitGroups& q, DigitGroups& r);

// Rounds half away from zero (on the first dropped digit) to `digits` digits
// after the point; a magnitude with no more fraction digits is unchanged.
// Called by BigDecimal::finish only.
void roundTo(DigitGroups& m, int32_t digits);

}  // namespace decimal_internal
}  // namespace bw

#endif
