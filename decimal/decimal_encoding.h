// The byte encoding of a BigDecimal's value: its constants and the helpers
// that read and write it.  This header is the only place that knows the
// layout; everything outside decimal/ goes through BigDecimal's members.
//
// The encoding is chosen so that plain signed byte order is numeric order:
//   zero          'o'
//   otherwise     sign ('p' or 'n'), exponent byte, digit pairs
// The exponent E is the power of ten of the leading (nonzero) digit, stored
// as E + 10 (E >= 0) or E - 10 (E < 0); a pair of value v is stored as
// v + 10.  For a negative value every byte after the sign is negated.  No
// trailing "00" pair is stored, so equal numbers have equal encodings, and
// no stored byte is ever 0, so a 0 byte can terminate the encoding.
#ifndef BRINDLEWORK_DECIMAL_DECIMAL_ENCODING_H
#define BRINDLEWORK_DECIMAL_DECIMAL_ENCODING_H

#include <cstdint>

#include "decimal/decimal_assert.h"

namespace bw {
namespace decimal_internal {

constexpr char kZeroByte = 'o';
constexpr char kPositiveByte = 'p';
constexpr char kNegativeByte = 'n';
constexpr int kPairBias = 10;
constexpr int kExponentBias = 10;
// Largest |E| the exponent byte holds.
constexpr int32_t kMaxStoredExponent = 127 - kExponentBias;
// Longest encoding any value may take: sign, exponent and 62 pairs.  The
// longest value is 101 digits (51 pairs): precision 100 and the parser's
// kept digit.
constexpr int32_t kMaxEncodedLength = 64;

inline int signedByte(char c) { return static_cast<int>(static_cast<signed char>(c)); }

inline bool isNegativeEncoding(const char* bytes) { return bytes[0] == kNegativeByte; }

// -1 for a negative value's bytes, which are negated, else 1.
inline int signFlip(bool negative) { return negative ? -1 : 1; }

// A stored pair byte from its value (0 to 99), and back.
inline char storedPair(int value, int flip) { return static_cast<char>(flip * (value + kPairBias)); }
inline int pairValue(char stored, int flip) { return flip * signedByte(stored) - kPairBias; }

// Writes the sign and exponent bytes of a nonzero value whose leading digit
// is at the power `exponent`.
inline void writeHead(char* out, int32_t exponent, bool negative) {
  BW_DECIMAL_ASSERT(exponent <= kMaxStoredExponent && exponent >= -kMaxStoredExponent);
  const int stored = exponent >= 0 ? exponent + kExponentBias : exponent - kExponentBias;
  out[0] = negative ? kNegativeByte : kPositiveByte;
  out[1] = static_cast<char>(signFlip(negative) * stored);
}

// E of a present, nonzero encoding.
inline int32_t exponentOf(const char* bytes) {
  const int stored = isNegativeEncoding(bytes) ? -signedByte(bytes[1]) : signedByte(bytes[1]);
  return stored >= kExponentBias ? stored - kExponentBias : stored + kExponentBias;
}

// Value (0 to 99) of pair i (0 is the leading pair) of a present, nonzero
// encoding.
inline int pairAt(const char* bytes, uint32_t i) {
  return pairValue(bytes[2 + i], signFlip(isNegativeEncoding(bytes)));
}

// Digits after the point of a present, nonzero encoding: the last pair ends
// at the power E - 2 * pairs + 1, one higher when its low digit is 0.
inline int32_t fractionDigitsOf(const char* bytes, uint32_t length) {
  const int32_t pairs = static_cast<int32_t>(length) - 2;
  const int32_t lowest =
      exponentOf(bytes) - 2 * pairs + 1 + (pairAt(bytes, static_cast<uint32_t>(pairs - 1)) % 10 == 0 ? 1 : 0);
  return lowest < 0 ? -lowest : 0;
}

// The decimal digits of a present, nonzero encoding, most significant first,
// into out (room for 2 * pairs); returns their count, which leaves out the
// zero that completes an odd count's last pair.
inline int32_t readDigits(const char* bytes, uint32_t length, char* out) {
  const uint32_t pairs = length - 2;
  for (uint32_t i = 0; i < pairs; ++i) {
    const int pair = pairAt(bytes, i);
    out[2 * i] = static_cast<char>('0' + pair / 10);
    out[2 * i + 1] = static_cast<char>('0' + pair % 10);
  }
  return static_cast<int32_t>(2 * pairs) - (out[2 * pairs - 1] == '0' ? 1 : 0);
}

// Writes the encoding of the nonzero value whose count decimal digits
// (characters, the first nonzero) start at the power `exponent`, into out,
// followed by its 0 terminator; returns the encoding's length.  Trailing
// zero digits are not stored.
inline uint32_t writeDigits(const char* digits, int32_t count, int32_t exponent, bool negative, char* out) {
  BW_DECIMAL_ASSERT(count > 0 && digits[0] != '0');
  while (digits[count - 1] == '0') --count;
  BW_DECIMAL_ASSERT(2 + (count + 1) / 2 <= kMaxEncodedLength);
  writeHead(out, exponent, negative);
  const int flip = signFlip(negative);
  uint32_t n = 2;
  for (int32_t d = 0; d < count; d += 2) {
    const int low = d + 1 < count ? digits[d + 1] - '0' : 0;
    out[n++] = storedPair((digits[d] - '0') * 10 + low, flip);
  }
  out[n] = 0;
  return n;
}

}  // namespace decimal_internal
}  // namespace bw

#endif
