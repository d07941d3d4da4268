// htmlEncode and htmlDecode with the module's entity table, each in time
// linear in the text.
#include <cstring>
#include <utility>

#include "foundation/codecs.h"

namespace bw {

namespace {

// For each byte value, the index of the first table entry with that value,
// or -1; built once from the table.
struct EntityIndex {
  int byValue[256];
  uint8_t nameLength[100];
  uint32_t shortest = 0xFFFFFFFFu, longest = 0;
  // Entries by (name length, second byte of the name), chained in table
  // order, so a decoder looks at one or two names instead of a hundred.
  static constexpr uint32_t kMaxName = 16;
  int8_t firstByShape[kMaxName + 1][256];
  int8_t nextByShape[100];
  EntityIndex() {
    for (int& entry : byValue) entry = -1;
    for (auto& row : firstByShape)
      for (int8_t& entry : row) entry = -1;
    for (int i = 99; i >= 0; --i) {
      const HtmlEntity& e = kHtmlEntities[i];
      uint32_t n = static_cast<uint32_t>(std::strlen(e.name));
      unsigned char second = static_cast<unsigned char>(e.name[1]);
      nextByShape[i] = firstByShape[n][second];
      firstByShape[n][second] = static_cast<int8_t>(i);
    }
    for (int i = 0; i < 100; ++i) {
      const HtmlEntity& e = kHtmlEntities[i];
      if (byValue[e.value] < 0) byValue[e.value] = i;
      uint32_t n = static_cast<uint32_t>(std::strlen(e.name));
      nameLength[i] = static_cast<uint8_t>(n);
      if (n < shortest) shortest = n;
      if (n > longest) longest = n;
    }
  }
};

const EntityIndex& entityIndex() {
  static const EntityIndex index;
  return index;
}

// Whether a byte is replaced by htmlEncode (and by what, when it is not one
// of the "&#ddd" bytes 0x80 to 0x9F).
inline bool encodes(unsigned char c) { return c == '"' || c == '&' || c == '<' || c == '>' || c >= 0x80; }

}  // namespace

QelString htmlEncode(const QelString& text) {
  const EntityIndex& index = entityIndex();
  const unsigned char* in = reinterpret_cast<const unsigned char*>(text.data());
  const uint32_t length = text.length();
  uint64_t size = 0;
  for (uint32_t i = 0; i < length; ++i) {
    unsigned char c = in[i];
    if (!encodes(c)) {
      size += 1;
    } else {
      int e = index.byValue[c];
      size += e >= 0 ? index.nameLength[e] : 5;  // "&#" and three digits
    }
  }
  if (size == length) return text;
  if (size > 0xFFFFFF00u) throw QELObject::MemoryAllocationFailure();
  QelString result;
  char* out = result.setLength(static_cast<uint32_t>(size)) - size;
  for (uint32_t i = 0; i < length; ++i) {
    unsigned char c = in[i];
    if (!encodes(c)) {
      *out++ = static_cast<char>(c);
      continue;
    }
    int e = index.byValue[c];
    if (e >= 0) {
      std::memcpy(out, kHtmlEntities[e].name, index.nameLength[e]);
      out += index.nameLength[e];
    } else {
      // toRadixText (base 10, minimum 3) of a byte from 0x80 to 0x9F, with no ";".
      *out++ = '&';
      *out++ = '#';
      *out++ = static_cast<char>('0' + c / 100);
      *out++ = static_cast<char>('0' + c / 10 % 10);
      *out++ = static_cast<char>('0' + c % 10);
    }
  }
  return result;
}

// The decoding loop: from p, find the next "&", then the first ";" after it
// (none: stop); the text from "&" to ";" inclusive that equals a table name
// becomes its byte; go on at the byte after the "&".  Since a decoded byte
// is never looked at again and the search for ";" would find the same ";"
// for every "&" before it, one left-to-right pass gives the same text: the
// position of the next ";" is remembered until the scan passes it, so a
// megabyte of "&" before a single ";" costs one search, not one per "&".
void htmlDecode(QelString& text) {
  const EntityIndex& index = entityIndex();
  const uint32_t length = text.length();
  const unsigned char* in = reinterpret_cast<const unsigned char*>(text.data());
  const unsigned char* amp = static_cast<const unsigned char*>(std::memchr(in, '&', length));
  if (amp == nullptr) return;

  QelString result;
  unsigned char* out = nullptr;  // made at the first decoding
  uint32_t written = 0;          // bytes of the result in out
  uint32_t copied = 0;           // bytes of the input accounted for
  uint32_t semicolon = 0;        // position of the next ";" (valid when > the "&")
  bool haveSemicolon = false;
  uint32_t p = static_cast<uint32_t>(amp - in);
  for (;;) {
    // p is the position of an "&".
    if (!haveSemicolon || semicolon <= p) {
      const void* s = std::memchr(in + p + 1, ';', length - p - 1);
      if (s == nullptr) break;  // no ";" after this "&": decoding ends here
      semicolon = static_cast<uint32_t>(static_cast<const unsigned char*>(s) - in);
      haveSemicolon = true;
    }
    const uint32_t n = semicolon - p + 1;
    uint32_t next = p + 1;
    if (n >= index.shortest && n <= index.longest && n <= EntityIndex::kMaxName) {
      for (int e = index.firstByShape[n][in[p + 1]]; e >= 0; e = index.nextByShape[e]) {
        if (std::memcmp(in + p, kHtmlEntities[e].name, n) == 0) {
          if (out == nullptr) out = reinterpret_cast<unsigned char*>(result.setLength(length) - length);
          std::memcpy(out + written, in + copied, p - copied);
          written += p - copied;
          out[written++] = kHtmlEntities[e].value;
          copied = semicolon + 1;
          next = semicolon + 1;
          break;
        }
      }
    }
    if (next >= length) break;
    if (in[next] == '&') {  // runs of "&" need no library call per byte
      p = next;
      continue;
    }
    amp = static_cast<const unsigned char*>(std::memchr(in + next, '&', length - next));
    if (amp == nullptr) break;
    p = static_cast<uint32_t>(amp - in);
  }
  if (out == nullptr) return;
  std::memcpy(out + written, in + copied, length - copied);
  written += length - copied;
  result.setLength(written);
  text = std::move(result);
}

}  // namespace bw
