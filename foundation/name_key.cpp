// NameKey and the CRC-32 behind it: names hashed once when the key is made,
// so that matching a name is one 32-bit comparison.
#include "foundation/name_key.h"

namespace bw {

namespace {

// The CRC-32 table (reflected polynomial 0xEDB88320), computed at compile
// time so that keys built by static constructors anywhere find it ready.
struct Crc32Table {
  uint32_t entry[256];
  constexpr Crc32Table() : entry() {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1u) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
      entry[i] = c;
    }
  }
};

constexpr Crc32Table kCrc32;

uint32_t hashOf(const QelString& text, uint32_t options) {
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const uint32_t count = text.length();
  const bool fold = (options & IgnoreCase) != 0;
  uint32_t reg = 0;
  for (uint32_t i = 0; i < count; ++i) {
    // IgnoreCase hashes the lower-case copy: only "A" to "Z" change.
    unsigned char b = fold ? kLowerCaseTable[bytes[i]] : bytes[i];
    reg = kCrc32.entry[(reg ^ b) & 0xFFu] ^ (reg >> 8);
  }
  return ~reg;
}

}  // namespace

// The key's hash: the register starts at 0 and the result is its
// complement, so the empty text gives 0xFFFFFFFF.  (The common CRC-32 starts
// the register at all ones instead; that is the same as this one with the
// first four bytes complemented, which the tests use to check the table
// against the well-known value 0xCBF43926 for "123456789".)
uint32_t crc32Of(const char* bytes, uint32_t count) {
  uint32_t reg = 0;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes);
  for (uint32_t i = 0; i < count; ++i) reg = kCrc32.entry[(reg ^ p[i]) & 0xFFu] ^ (reg >> 8);
  return ~reg;
}

NameKey::NameKey() : hash_(crc32Of(nullptr, 0)) {}

NameKey::NameKey(const QelString& text, uint32_t options) : text_(text), hash_(hashOf(text, options)) {}

NameKey::NameKey(const char* text, uint32_t options) : text_(text), hash_(hashOf(text_, options)) {}

NameKey::NameKey(char byte, uint32_t options) : text_(byte), hash_(hashOf(text_, options)) {}

}  // namespace bw
