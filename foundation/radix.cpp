// toRadixText and parseInteger: the unsigned digit text of a number and the
// forgiving integer reader behind every integer parameter.
#include <algorithm>

#include "foundation/codecs.h"

namespace bw {

namespace {
const char kDigits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
}

QelString toRadixText(uint32_t value, uint8_t base, uint8_t minimumDigits) {
  QelString text;
  text.reserve(10);
  // Base 1 is refused like 0 and 37 up: its digit loop would never end
  // (value / 1 never reaches 0).
  if (base < 2 || base > 36) return text;
  if (minimumDigits == 0) minimumDigits = 1;
  // At most 32 digits (base 2) or the minimum, produced least significant
  // first into a local buffer and written out reversed.
  char digits[256];
  uint32_t n = 0;
  do {
    digits[n++] = kDigits[value % base];
    value /= base;
  } while (value != 0);
  while (n < minimumDigits) digits[n++] = '0';
  std::reverse(digits, digits + n);
  text.assign(digits, n);
  return text;
}

int32_t parseInteger(const QelString& text, uint8_t base) {
  return parseInteger(text.data(), text.length(), base);
}

int32_t parseInteger(const char* bytes, uint32_t count, uint8_t base) {
  if (base >= 37) return 0;
  // Read in place: leading blanks are skipped, and letters are taken
  // without regard to case.  Trailing blanks need no trimming, since the
  // first byte that is not a digit ends the number anyway.
  const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes);
  const unsigned char* end = p + count;
  while (p < end && (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n')) ++p;
  if (p == end) return 0;
  bool negative = false;
  if (*p == '-') {
    negative = true;
    ++p;
  } else if (*p == '+') {
    ++p;
  }
  uint32_t value = 0;  // 32-bit arithmetic that wraps
  for (; p < end && *p != 0; ++p) {
    const unsigned char c = kUpperCaseTable[*p];
    if (base == 10) {
      if (c == ',') continue;
      if (c < '0' || c > '9') break;
      value = value * 10u + (c - '0');
    } else {
      int digit = c >= 'A' ? c - 55 : c - 48;
      if (digit < 0 || digit >= base) break;
      value = value * base + static_cast<uint32_t>(digit);
    }
  }
  if (negative) value = 0u - value;
  return static_cast<int32_t>(value);
}

}  // namespace bw
