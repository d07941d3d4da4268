// NameKey and the CRC-32 behind it: names hashed once when the key is made,
// so that matching a name is one 32-bit comparison.
#include "foundation/name_key.h"

#include <cstring>

namespace bw {

namespace {

// The CRC-32 tables (reflected polynomial 0xEDB88320), computed at compile
// time so that keys built by static constructors anywhere find them ready.
// entry[0] is the usual byte table; entry[k] advances a byte k more places,
// so eight bytes are folded in with eight independent lookups instead of a
// chain of eight dependent ones (names are hashed on every tag call).
struct Crc32Tables {
  uint32_t entry[8][256];
  constexpr Crc32Tables() : entry() {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1u) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
      entry[0][i] = c;
    }
    for (int t = 1; t < 8; ++t) {
      for (uint32_t i = 0; i < 256; ++i) {
        const uint32_t previous = entry[t - 1][i];
        entry[t][i] = (previous >> 8) ^ entry[0][previous & 0xFFu];
      }
    }
  }
};

constexpr Crc32Tables kCrc32;

// Eight bytes, lowest address in the lowest byte: one load on the
// little-endian machines the module is built for.
uint64_t loadLittleEndian(const unsigned char* p) {
  uint64_t word;
  std::memcpy(&word, p, sizeof word);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  word = __builtin_bswap64(word);
#endif
  return word;
}

// "A" to "Z" become "a" to "z" in all eight bytes at once; every other byte,
// those from 0x80 up included, stays as it is.
uint64_t lowerCaseWord(uint64_t word) {
  constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
  constexpr uint64_t kHigh = 0x8080808080808080ull;
  const uint64_t seven = word & kLow7;
  const uint64_t atLeastA = seven + 0x3F3F3F3F3F3F3F3Full;    // high bit: byte >= 'A'
  const uint64_t pastZ = seven + 0x2525252525252525ull;       // high bit: byte > 'Z'
  const uint64_t upper = atLeastA & ~pastZ & ~word & kHigh;  // ASCII upper-case letters
  return word | (upper >> 2);                                 // 0x80 >> 2 = 0x20
}

uint32_t crcRegister(const unsigned char* bytes, uint32_t count, bool fold) {
  const auto& t = kCrc32.entry;
  uint32_t reg = 0;
  while (count >= 8) {
    uint64_t word = loadLittleEndian(bytes);
    if (fold) word = lowerCaseWord(word);
    const uint32_t low = reg ^ static_cast<uint32_t>(word);
    const uint32_t high = static_cast<uint32_t>(word >> 32);
    reg = t[7][low & 0xFFu] ^ t[6][(low >> 8) & 0xFFu] ^ t[5][(low >> 16) & 0xFFu] ^
          t[4][low >> 24] ^ t[3][high & 0xFFu] ^ t[2][(high >> 8) & 0xFFu] ^
          t[1][(high >> 16) & 0xFFu] ^ t[0][high >> 24];
    bytes += 8;
    count -= 8;
  }
  if (count >= 4) {
    uint32_t word = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
                    static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
    if (fold) word = static_cast<uint32_t>(lowerCaseWord(word));
    reg ^= word;
    reg = t[3][reg & 0xFFu] ^ t[2][(reg >> 8) & 0xFFu] ^ t[1][(reg >> 16) & 0xFFu] ^ t[0][reg >> 24];
    bytes += 4;
    count -= 4;
  }
  for (uint32_t i = 0; i < count; ++i) {
    // IgnoreCase hashes the lower-case copy: only "A" to "Z" change.
    const unsigned char b = fold ? kLowerCaseTable[bytes[i]] : bytes[i];
    reg = t[0][(reg ^ b) & 0xFFu] ^ (reg >> 8);
  }
  return reg;
}

}  // namespace

bool sameNameIgnoringCase(const char* a, const char* b, uint32_t count) {
  const unsigned char* x = reinterpret_cast<const unsigned char*>(a);
  const unsigned char* y = reinterpret_cast<const unsigned char*>(b);
  auto sameWord = [&](uint32_t at) {
    return lowerCaseWord(loadLittleEndian(x + at)) == lowerCaseWord(loadLittleEndian(y + at));
  };
  if (count >= 8) {
    // Whole words, the last one ending at the last byte (it may overlap the
    // one before): a name of up to 16 bytes is two comparisons.
    for (uint32_t at = 0; at + 8 < count; at += 8) {
      if (!sameWord(at)) return false;
    }
    return sameWord(count - 8);
  }
  for (uint32_t i = 0; i < count; ++i) {
    if (kLowerCaseTable[x[i]] != kLowerCaseTable[y[i]]) return false;
  }
  return true;
}

uint32_t nameHashOf(const char* bytes, uint32_t count, uint32_t options) {
  return ~crcRegister(reinterpret_cast<const unsigned char*>(bytes), count,
                      (options & IgnoreCase) != 0);
}

// The key's hash: the register starts at 0 and the result is its
// complement, so the empty text gives 0xFFFFFFFF.  (The common CRC-32 starts
// the register at all ones instead; that is the same as this one with the
// first four bytes complemented, which the tests use to check the table
// against the well-known value 0xCBF43926 for "123456789".)
uint32_t crc32Of(const char* bytes, uint32_t count) {
  return ~crcRegister(reinterpret_cast<const unsigned char*>(bytes), count, false);
}

NameKey::NameKey() : hash_(crc32Of(nullptr, 0)) {}

NameKey::NameKey(const QelString& text, uint32_t options) : text_(text), hash_(nameHashOf(text.data(), text.length(), options)) {}

NameKey::NameKey(const char* text, uint32_t options) : text_(text), hash_(nameHashOf(text_.data(), text_.length(), options)) {}

NameKey::NameKey(char byte, uint32_t options) : text_(byte), hash_(nameHashOf(text_.data(), text_.length(), options)) {}

}  // namespace bw
