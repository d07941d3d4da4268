// Small text helpers the engine needs in several places: ASCII case folding,
// HTML escaping for page text, and decoding of HTML entities in the module's
// error reports so that a terminal shows "<qelIf>" rather than "&lt;qelIf&gt;".
// The comparisons, the short copy and the byte search are inline and work a
// word at a time where they can, because they run for every name and value
// of every tag; they read and write only the bytes they are given.
#ifndef BRINDLE_ENGINE_TEXT_UTIL_H
#define BRINDLE_ENGINE_TEXT_UTIL_H

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "engine/byte_scan.h"

namespace bw {

// The bytes at p as one unsigned word, whatever their alignment.
template <class Word>
inline Word loadWord(const char* p) {
  Word w;
  std::memcpy(&w, p, sizeof w);
  return w;
}

inline char foldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
// Whether the n bytes at p and q are the same, compared eight (or four)
// bytes at a time: inline because names are compared at every tag, and
// they are too short for a call of memcmp to pay.
inline bool sameBytes(const char* p, const char* q, size_t n) {
  if (n >= 8) {
    size_t i = 0;
    for (; i + 8 <= n; i += 8)
      if (loadWord<uint64_t>(p + i) != loadWord<uint64_t>(q + i)) return false;
    return i == n || loadWord<uint64_t>(p + n - 8) == loadWord<uint64_t>(q + n - 8);
  }
  if (n >= 4)
    return loadWord<uint32_t>(p) == loadWord<uint32_t>(q) &&
           loadWord<uint32_t>(p + n - 4) == loadWord<uint32_t>(q + n - 4);
  for (size_t i = 0; i < n; ++i)
    if (p[i] != q[i]) return false;
  return true;
}

// Copies n bytes from q to p, writing nothing outside p[0, n): short copies,
// the most a module's answer usually is, without the call of memcpy.
inline void copyBytes(char* p, const char* q, size_t n) {
  if (n > 16) {
    std::memcpy(p, q, n);
  } else if (n >= 8) {
    uint64_t head = loadWord<uint64_t>(q), tail = loadWord<uint64_t>(q + n - 8);
    std::memcpy(p + n - 8, &tail, 8);
    std::memcpy(p, &head, 8);
  } else if (n >= 4) {
    uint32_t head = loadWord<uint32_t>(q), tail = loadWord<uint32_t>(q + n - 4);
    std::memcpy(p + n - 4, &tail, 4);
    std::memcpy(p, &head, 4);
  } else {
    for (size_t i = 0; i < n; ++i) p[i] = q[i];
  }
}

inline bool equalsExactly(std::string_view a, std::string_view b) {
  return a.size() == b.size() && sameBytes(a.data(), b.data(), a.size());
}

// The length test comes first, so most unequal names cost one comparison,
// and a page mostly spells a name as the module does, so the bytes are
// compared as written before they are folded.
inline bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  if (sameBytes(a.data(), b.data(), a.size())) return true;
  for (size_t i = 0; i < a.size(); ++i)
    if (foldAscii(a[i]) != foldAscii(b[i])) return false;
  return true;
}

// Where c is in text at or after `from`, or npos.  Values, names and bodies
// in a page are mostly a few bytes long, and for those a plain loop costs
// less than the call of memchr that std::string_view::find makes.
inline size_t findByte(std::string_view text, size_t from, char c) {
  constexpr size_t kShort = 32;
  if (from >= text.size()) return std::string_view::npos;
  if (text.size() - from > kShort) return text.find(c, from);
  for (size_t i = from; i < text.size(); ++i)
    if (text[i] == c) return i;
  return std::string_view::npos;
}

inline bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && equalsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

// Letters, digits and "_-:.": the bytes of a tag name and of a ${...} name.
inline bool isNameByte(char c) { return isByteOf(c, kTagNameByte); }

// Appends text with &, <, >, " and ' written as entities.
void appendHtmlEscaped(std::string& out, std::string_view text);

// Text for one line of a log or a terminal: control bytes written as \n,
// \r, \t or \xHH, so that a request or a tag's message cannot start a line
// of its own.
std::string escapedForLog(std::string_view text);
std::string htmlEscaped(std::string_view text);

// Named entities (&lt; &gt; &quot; &amp; &apos; &nbsp;) and numeric ones
// (&#65; &#x41;) become their characters, numeric ones above 127 as UTF-8;
// anything else stays as written.
std::string decodeEntities(std::string_view html);

// "MIPV" for 0x4D495056; bytes outside printable ASCII shown as '?'.
std::string fourCharacterCode(uint32_t code);

}  // namespace bw

#endif
