// DigitGroups: the unpacked working form of a BigDecimal magnitude, used only
// inside the decimal arithmetic.
//
// A magnitude is an unsigned integer coefficient in base 10^8 (one group of
// eight decimal digits per 32-bit word, least significant group first) times
// 10^low.  The stored form keeps digits in pairs, which is right for the
// byte-order comparison but slow to compute with; the arithmetic therefore
// unpacks its operands into this form on the stack (four stored pairs make one
// group), works on whole groups with 64-bit intermediates, rounds, and packs
// the result back.  No operation allocates anything but the result's own
// string.  Every routine is exact; rounding happens only in roundTo.
#ifndef BRINDLEWORK_DECIMAL_DIGIT_GROUPS_H
#define BRINDLEWORK_DECIMAL_DIGIT_GROUPS_H

#include <cstdint>

namespace bw {
namespace decimal_internal {

class ResultSink;

constexpr uint32_t kGroupBase = 100000000;  // 10^8
constexpr int32_t kDigitsPerGroup = 8;

// Room for 336 digits.  The widest value any operation builds is the shifted
// dividend of a division, at most about 205 digits; the routines that grow a
// magnitude report failure rather than write past the end.
constexpr int32_t kMaxGroups = 42;

// Largest encoded length: sign, exponent and up to 61 pairs.  Values are at
// most 101 digits (51 pairs) long.
constexpr int32_t kMaxEncodedLength = 64;

constexpr uint32_t kPowerOfTen[kDigitsPerGroup + 1] = {
    1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};

// v / 10^k for k in 0..8.  Each case divides by a constant, which the
// compiler turns into a multiplication; a division by a power looked up at
// run time would be a hardware division, slower than a whole sum.
inline uint32_t dropDigits(uint32_t v, int32_t k) {
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

struct DigitGroups {
  int32_t count = 0;  // groups in use; 0 is the value zero
  int32_t low = 0;    // power of ten of the units digit of group 0
  uint32_t group[kMaxGroups];
};

// Drops zero groups at the top and at the bottom (raising low by 2 for each
// bottom one), so that zero has count 0.
void normalize(DigitGroups& m);

// Power of ten of the leading digit; only for a nonzero normalized value.
int32_t leadingExponent(const DigitGroups& m);

// Unpacks a present, nonzero encoding (at most 4 * kMaxGroups pairs).
// Returns the sign.
bool decode(const char* encoding, uint32_t length, DigitGroups& out);

// Packs a normalized magnitude with its sign into out (pair_words.h);
// returns the length, 0 when the exponent cannot be stored in one byte (out
// is then not asked for a place).  Zero packs as "o".
uint32_t encode(const DigitGroups& m, bool negative, ResultSink& out);

// Multiplies the coefficient by 10^k (k >= 0) and lowers low by k, leaving
// the value unchanged.  False when the result would not fit.
bool shiftUp(DigitGroups& m, int32_t k);

// Brings both to the smaller of their lows.  False when that does not fit.
bool align(DigitGroups& a, DigitGroups& b);

// Coefficient comparison (-1, 0, 1); meaningful when the lows are equal.
int compareCoefficients(const DigitGroups& a, const DigitGroups& b);

// r = a + b and r = a - b (a >= b) on aligned operands; r may alias neither.
void addCoefficients(const DigitGroups& a, const DigitGroups& b, DigitGroups& r);
void subtractCoefficients(const DigitGroups& a, const DigitGroups& b, DigitGroups& r);

// r = a * b, exact.
void multiplyMagnitudes(const DigitGroups& a, const DigitGroups& b, DigitGroups& r);

// Integer long division of the coefficients: q = floor(n / d), r = n - q * d.
// d must be nonzero.  Each quotient group is estimated from the leading
// groups and corrected at most twice.  q and r are normalized, with lows counted from an integer (low 0) result.
void divideCoefficients(const DigitGroups& n, const DigitGroups& d, DigitGroups& q,
                        DigitGroups& r);

// Rounds half away from zero (on the first dropped digit) to `digits` digits
// after the point.  A magnitude with no more fraction digits is unchanged.
void roundTo(DigitGroups& m, int32_t digits);

// Number of digits after the point of the normalized value.
int32_t fractionDigits(const DigitGroups& m);

// The coefficient's decimal digits, most significant first, without leading
// zeros, into out (at least kDigitsPerGroup * kMaxGroups bytes); returns the
// count (0 for zero).
int32_t coefficientDigits(const DigitGroups& m, char* out);

}  // namespace decimal_internal
}  // namespace bw

#endif
