// urlEncode and urlDecode: percent-encoding of the bytes that are unsafe in a
// URL, and its decoding in place, both in time linear in the text.
#include <cstring>

#include "foundation/codecs.h"

namespace bw {

namespace {

const char kHex[] = "0123456789ABCDEF";

// 1: always encoded; 2: encoded only with encodeSeparators.
struct UrlClasses {
  unsigned char kind[256] = {};
  UrlClasses() {
    const unsigned char always[] = {0x20, 0x22, 0x23, 0x24, 0x25, 0x26, 0x2B, 0x3B, 0x3C, 0x3D, 0x3E,
                                    0x3F, 0x40, 0x5B, 0x5C, 0x5D, 0x5E, 0x60, 0x7B, 0x7C, 0x7D};
    for (unsigned char c : always) kind[c] = 1;
    kind[0x2F] = kind[0x3A] = kind[0x7E] = 2;
  }
};

const UrlClasses& urlClasses() {
  static const UrlClasses classes;
  return classes;
}

// The decoder's digit value: bytes taken as signed, so bytes from 0x80 up give
// negative values; ":" to "?" give 10 to 15.
inline int hexValue(unsigned char byte) {
  int b = static_cast<signed char>(byte);
  if (b >= 'a') return b - 87;
  if (b >= 'A') return b - 55;
  return b - 48;
}

}  // namespace

QelString urlEncode(const QelString& text, bool encodeSeparators) {
  // Each byte is replaced independently of the others, so building the
  // result from the front in one pass gives the text a replacement in place
  // from the last byte to the first would.
  const UrlClasses& classes = urlClasses();
  const unsigned char limit = encodeSeparators ? 2 : 1;
  const unsigned char* in = reinterpret_cast<const unsigned char*>(text.data());
  const uint32_t length = text.length();
  uint64_t size = length;
  for (uint32_t i = 0; i < length; ++i) {
    unsigned char k = classes.kind[in[i]];
    if (k != 0 && k <= limit) size += 2;
  }
  if (size == length) return text;
  if (size > 0xFFFFFF00u) throw QELObject::MemoryAllocationFailure();
  QelString result;
  char* out = result.setLength(static_cast<uint32_t>(size)) - size;
  for (uint32_t i = 0; i < length; ++i) {
    unsigned char c = in[i], k = classes.kind[c];
    if (k != 0 && k <= limit) {
      *out++ = '%';
      *out++ = kHex[c >> 4];
      *out++ = kHex[c & 15];
    } else {
      *out++ = static_cast<char>(c);
    }
  }
  return result;
}

// The decoding: first every "+" becomes a space; then a backward
// search visits each "%" once, from the last to the first, and decodes it
// with the two bytes that follow it in the text as it is at that moment, so
// a byte decoded from a later "%" can serve as a digit of an earlier one
// ("%4%41" gives "J").  Done step by step each decoding moves the whole tail.
// Here the text is rebuilt once, from its end: the finished part after the
// current byte is kept at the end of a scratch buffer, which is exactly the
// text after it at that moment of the step-by-step walk.
bool urlDecode(QelString& text) {
  const uint32_t length = text.length();
  const unsigned char* in = reinterpret_cast<const unsigned char*>(text.data());
  if (length == 0 || (std::memchr(in, '+', length) == nullptr && std::memchr(in, '%', length) == nullptr))
    return false;
  QelString scratch;
  unsigned char* buffer = reinterpret_cast<unsigned char*>(scratch.setLength(length) - length);
  uint32_t front = length;  // the finished text is buffer[front, length)
  bool changed = false;
  for (uint32_t i = length; i-- > 0;) {
    unsigned char c = in[i];
    if (c == '+') {
      c = ' ';
      changed = true;
    } else if (c == '%' && length - front >= 2) {
      int high = hexValue(buffer[front]), low = hexValue(buffer[front + 1]);
      if (high >= 0 && high <= 15 && low >= 0 && low <= 15) {
        front += 2;
        c = static_cast<unsigned char>(high * 16 + low);
        changed = true;
      }
    }
    buffer[--front] = c;
  }
  if (!changed) return false;
  text.assign(reinterpret_cast<const char*>(buffer + front), length - front);
  return true;
}

}  // namespace bw
