// unescapeBackslashes: the backslash escapes page authors write in tag
// parameters, expanded in one pass.
#include <cstring>
#include <utility>

#include "foundation/codecs.h"

namespace bw {

// Each backslash is looked at from left to right; after a
// replacement the search goes on at the byte after the one produced, so a
// produced byte is never looked at again, and after an escape that is not
// replaced it goes on at the byte after the backslash.  One pass over the
// text gives the same result.
//
// A decimal escape is a backslash, a first digit "0" to "2" and two more
// digits.  Its value is computed in 8 bits: for "256" to "299", which do not
// fit a byte, the escape gives the value modulo 256 (the low 8 bits), so
// backslash "256" gives 0x00 and backslash "299" gives 0x2B ("+").
void unescapeBackslashes(QelString& text, bool decimalEscapes) {
  const uint32_t length = text.length();
  const unsigned char* in = reinterpret_cast<const unsigned char*>(text.data());
  const void* first = std::memchr(in, '\\', length);
  if (first == nullptr) return;

  QelString result;
  unsigned char* out = nullptr;
  uint32_t written = 0, copied = 0;
  uint32_t i = static_cast<uint32_t>(static_cast<const unsigned char*>(first) - in);
  while (i + 1 < length) {
    // in[i] is a backslash that is not the last byte.
    const unsigned char c = in[i + 1];
    uint32_t consumed = 0;
    unsigned char produced = 0;
    switch (c) {
      case '\\': produced = '\\'; consumed = 2; break;
      case 'n': produced = 0x0A; consumed = 2; break;
      case 'r': produced = 0x0D; consumed = 2; break;
      case 't': produced = 0x09; consumed = 2; break;
      case 'v': produced = 0x0B; consumed = 2; break;
      case '0':
      case '1':
      case '2':
        if (decimalEscapes && i + 3 < length && in[i + 2] >= '0' && in[i + 2] <= '9' && in[i + 3] >= '0' &&
            in[i + 3] <= '9') {
          unsigned value = (c - '0') * 100u + (in[i + 2] - '0') * 10u + (in[i + 3] - '0');
          produced = static_cast<unsigned char>(value & 0xFFu);  // low 8 bits (see above)
          consumed = 4;
        }
        break;
      default: break;
    }
    uint32_t next = i + 1;
    if (consumed != 0) {
      if (out == nullptr) out = reinterpret_cast<unsigned char*>(result.setLength(length) - length);
      std::memcpy(out + written, in + copied, i - copied);
      written += i - copied;
      out[written++] = produced;
      copied = i + consumed;
      next = i + consumed;
    }
    if (next >= length) break;
    const void* b = std::memchr(in + next, '\\', length - next);
    if (b == nullptr) break;
    i = static_cast<uint32_t>(static_cast<const unsigned char*>(b) - in);
  }
  if (out == nullptr) return;
  std::memcpy(out + written, in + copied, length - copied);
  written += length - copied;
  result.setLength(written);
  text = std::move(result);
}

}  // namespace bw
