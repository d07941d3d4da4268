// Internal to the foundation library: eight bytes of text as one 64-bit
// word, and ASCII case folding of all eight at once, for the comparisons and
// hashes that run on every tag call.
#ifndef BRINDLEWORK_FOUNDATION_ASCII_WORDS_H
#define BRINDLEWORK_FOUNDATION_ASCII_WORDS_H

#include <cstdint>
#include <cstring>

namespace bw {
namespace detail {

// Eight bytes, lowest address in the lowest byte: one load on the
// little-endian machines the module is built for.
inline uint64_t loadLittleEndian(const unsigned char* p) {
  uint64_t word;
  std::memcpy(&word, p, sizeof word);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  word = __builtin_bswap64(word);
#endif
  return word;
}

// "A" to "Z" become "a" to "z" in all eight bytes at once; every other byte,
// those from 0x80 up included, stays as it is.
inline uint64_t lowerCaseWord(uint64_t word) {
  constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
  constexpr uint64_t kHigh = 0x8080808080808080ull;
  const uint64_t seven = word & kLow7;
  const uint64_t atLeastA = seven + 0x3F3F3F3F3F3F3F3Full;    // high bit: byte >= 'A'
  const uint64_t pastZ = seven + 0x2525252525252525ull;       // high bit: byte > 'Z'
  const uint64_t upper = atLeastA & ~pastZ & ~word & kHigh;  // ASCII upper-case letters
  return word | (upper >> 2);                                 // 0x80 >> 2 = 0x20
}

}  // namespace detail
}  // namespace bw

#endif
