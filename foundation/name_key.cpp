// NameKey and the CRC-32 behind it: names hashed once when the key is made,
// so that matching a name is one 32-bit comparison.
#include "foundation/name_key.h"

#include "foundation/ascii_words.h"
#include "foundation/string_search.h"

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

uint32_t crcRegister(const unsigned char* bytes, uint32_t count, bool fold) {
  const auto& t = kCrc32.entry;
  uint32_t reg = 0;
  while (count >= 8) {
    uint64_t word = detail::loadLittleEndian(bytes);
    if (fold) word = detail::lowerCaseWord(word);
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
    if (fold) word = static_cast<uint32_t>(detail::lowerCaseWord(word));
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
  return detail::bytesEqual(reinterpret_cast<const unsigned char*>(a),
                            reinterpret_cast<const unsigned char*>(b), count, true);
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
