// htmlEncode and htmlDecode with the module's entity table, each in time
// linear in the text.  The decoder reads the table's names and the former
// spellings of five of them.
#include <cstring>
#include <utility>

#include "foundation/codecs.h"

namespace bw {

namespace {

// Every name the decoder reads: the table, then the former spellings.
constexpr int kTableEntries = 100;
constexpr int kDecodedNames = kTableEntries + 5;
inline const HtmlEntity& decodedName(int i) {
  return i < kTableEntries ? kHtmlEntities[i] : kHtmlEntityFormerNames[i - kTableEntries];
}

// For each byte value, the index of the first table entry with that value,
// or -1; built once from the table.
struct EntityIndex {
  int byValue[256];
  uint8_t nameLength[kDecodedNames];
  uint32_t shortest = 0xFFFFFFFFu, longest = 0;
  // Entries by (name length, second byte of the name), chained in table
  // order, so a decoder looks at one or two names instead of a hundred.
  static constexpr uint32_t kMaxName = 16;
  int8_t firstByShape[kMaxName + 1][256];
  int8_t nextByShape[kDecodedNames];
  EntityIndex() {
    for (int& entry : byValue) entry = -1;
    for (auto& row : firstByShape)
      for (int8_t& entry : row) entry = -1;
    for (int i = kDecodedNames - 1; i >= 0; --i) {
      const HtmlEntity& e = decodedName(i);
      uint32_t n = static_cast<uint32_t>(std::strlen(e.name));
      unsigned char second = static_cast<unsigned char>(e.name[1]);
      nextByShape[i] = firstByShape[n][second];
      firstByShape[n][second] = static_cast<int8_t>(i);
    }
    for (int i = 0; i < kDecodedNames; ++i) {
      const HtmlEntity& e = decodedName(i);
      if (i < kTableEntries && byValue[e.value] < 0) byValue[e.value] = i;
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

// The bytes allowed after a lead byte: the second byte's range depends on the
// lead (this is what rules out overlong forms, surrogates and values past
// U+10FFFF); every further byte is 0x80 to 0xBF.
struct Utf8Lead {
  uint8_t length;  // 0: not a lead byte
  uint8_t secondLow, secondHigh;
};
inline Utf8Lead utf8Lead(unsigned char c) {
  if (c >= 0xC2 && c <= 0xDF) return {2, 0x80, 0xBF};
  if (c == 0xE0) return {3, 0xA0, 0xBF};
  if (c == 0xED) return {3, 0x80, 0x9F};
  if (c >= 0xE1 && c <= 0xEF) return {3, 0x80, 0xBF};
  if (c == 0xF0) return {4, 0x90, 0xBF};
  if (c >= 0xF1 && c <= 0xF3) return {4, 0x80, 0xBF};
  if (c == 0xF4) return {4, 0x80, 0x8F};
  return {0, 0, 0};
}

}  // namespace

uint32_t utf8SequenceLength(const unsigned char* bytes, uint32_t available) {
  const Utf8Lead lead = utf8Lead(bytes[0]);
  if (lead.length == 0 || available < lead.length) return 0;
  if (bytes[1] < lead.secondLow || bytes[1] > lead.secondHigh) return 0;
  for (uint32_t k = 2; k < lead.length; ++k)
    if (bytes[k] < 0x80 || bytes[k] > 0xBF) return 0;
  return lead.length;
}

QelString htmlEncode(const QelString& text) {
  const EntityIndex& index = entityIndex();
  const unsigned char* in = reinterpret_cast<const unsigned char*>(text.data());
  const uint32_t length = text.length();
  uint64_t size = 0;
  for (uint32_t i = 0; i < length; ++i) {
    unsigned char c = in[i];
    if (!encodes(c)) {
      size += 1;
    } else if (uint32_t whole = c >= 0xC2 ? utf8SequenceLength(in + i, length - i) : 0) {
      size += whole;
      i += whole - 1;
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
    if (uint32_t whole = c >= 0xC2 ? utf8SequenceLength(in + i, length - i) : 0) {
      std::memcpy(out, in + i, whole);
      out += whole;
      i += whole - 1;
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
        if (std::memcmp(in + p, decodedName(e).name, n) == 0) {
          if (out == nullptr) out = reinterpret_cast<unsigned char*>(result.setLength(length) - length);
          std::memcpy(out + written, in + copied, p - copied);
          written += p - copied;
          out[written++] = decodedName(e).value;
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
