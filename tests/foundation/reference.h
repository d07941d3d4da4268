// Step-by-step reference versions of the algorithms that the library runs in
// one pass, written plainly (on std::string, one change at a time), for comparison on random inputs.
#ifndef BRINDLEWORK_TESTS_FOUNDATION_REFERENCE_H
#define BRINDLEWORK_TESTS_FOUNDATION_REFERENCE_H

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/codecs.h"
#include "foundation/qel_string.h"

namespace reference {

inline unsigned char fold(unsigned char c, bool ignoreCase) {
  return ignoreCase && c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - 32) : c;
}

inline bool matchAt(const std::string& text, size_t at, const std::string& pattern, bool ignoreCase) {
  if (at + pattern.size() > text.size()) return false;
  for (size_t i = 0; i < pattern.size(); ++i)
    if (fold(text[at + i], ignoreCase) != fold(pattern[i], ignoreCase)) return false;
  return true;
}

// find by brute force, with QelString::find's window rules.
inline bool find(const std::string& text, const std::string& pattern, uint32_t start, uint32_t maxLength,
                 uint32_t options, uint32_t& position) {
  const bool ic = options & bw::IgnoreCase;
  const uint64_t L = text.size(), n = pattern.size();
  if (!(options & bw::Backward)) {
    if (start >= L) return false;
    uint64_t window = std::min<uint64_t>(maxLength, L - start);
    if (n == 0 || window == 0 || n > window) return false;
    for (uint64_t p = start; p + n <= start + window; ++p)
      if (matchAt(text, p, pattern, ic)) {
        position = static_cast<uint32_t>(p);
        return true;
      }
    return false;
  }
  if (L == 0) return false;
  if (start >= L) start = static_cast<uint32_t>(L - 1);
  uint64_t window = std::min<uint64_t>(maxLength, uint64_t(start) + 1);
  if (n == 0 || window == 0 || n > window) return false;
  for (int64_t p = int64_t(start) - int64_t(n) + 1; p >= int64_t(start) - int64_t(window) + 1; --p)
    if (matchAt(text, size_t(p), pattern, ic)) {
      position = static_cast<uint32_t>(p);
      return true;
    }
  return false;
}

// replaceAll one replacement at a time.  With Rescan the search resumes at
// the match; a match lying wholly inside inserted text is skipped.
inline uint32_t replaceAll(std::string& text, const std::string& pattern, const std::string& replacement,
                           uint32_t options) {
  const bool ic = (options & bw::IgnoreCase) != 0, rescan = (options & bw::Rescan) != 0;
  std::vector<bool> inserted(text.size(), false);
  uint32_t count = 0, pos = 0;
  for (;;) {
    uint32_t m;
    if (!find(text, pattern, pos, 0xFFFFFFFFu, ic ? uint32_t(bw::IgnoreCase) : 0u, m)) break;
    bool wholly = true;
    for (size_t i = m; i < m + pattern.size(); ++i) wholly = wholly && inserted[i];
    if (rescan && wholly) {
      pos = m + 1;
      continue;
    }
    text.replace(m, pattern.size(), replacement);
    inserted.erase(inserted.begin() + m, inserted.begin() + m + pattern.size());
    inserted.insert(inserted.begin() + m, replacement.size(), true);
    ++count;
    pos = rescan ? m : m + static_cast<uint32_t>(replacement.size());
  }
  return count;
}

inline int urlDigit(unsigned char c) {
  int b = static_cast<signed char>(c);
  if (b >= 'a') return b - 87;
  if (b >= 'A') return b - 55;
  return b - 48;
}

inline bool urlDecode(std::string& text) {
  bool changed = false;
  for (char& c : text)
    if (c == '+') {
      c = ' ';
      changed = true;
    }
  if (text.empty()) return changed;
  int64_t from = int64_t(text.size()) - 1;
  for (;;) {
    int64_t p = from;
    while (p >= 0 && text[size_t(p)] != '%') --p;
    if (p < 0) break;
    if (size_t(p) + 2 < text.size()) {
      int a = urlDigit(text[size_t(p) + 1]), b = urlDigit(text[size_t(p) + 2]);
      if (a >= 0 && a <= 15 && b >= 0 && b <= 15) {
        text.replace(size_t(p), 3, 1, char(a * 16 + b));
        changed = true;
      }
    }
    if (p == 0) break;
    from = p - 1;
  }
  return changed;
}

inline void htmlDecode(std::string& text) {
  size_t p = 0;
  for (;;) {
    size_t a = text.find('&', p);
    if (a == std::string::npos) return;
    size_t s = text.find(';', a + 1);
    if (s == std::string::npos) return;
    std::string name = text.substr(a, s - a + 1);
    bool found = false;
    for (const bw::HtmlEntity& e : bw::kHtmlEntities)
      if (!found && name == e.name) {
        text.replace(a, name.size(), 1, char(e.value));
        found = true;
      }
    for (const bw::HtmlEntity& e : bw::kHtmlEntityFormerNames)
      if (!found && name == e.name) {
        text.replace(a, name.size(), 1, char(e.value));
        found = true;
      }
    p = a + 1;
  }
}

inline void unescapeBackslashes(std::string& text, bool decimalEscapes) {
  size_t p = 0;
  for (;;) {
    size_t q = text.find('\\', p);
    if (q == std::string::npos || q + 1 == text.size()) return;
    char c = text[q + 1];
    const char* simple = "\\\\n\nr\rt\tv\v";
    bool done = false;
    for (int i = 0; i < 10; i += 2)
      if (c == simple[i]) {
        text.replace(q, 2, 1, simple[i + 1]);
        done = true;
        break;
      }
    auto digit = [](char d) { return d >= '0' && d <= '9'; };
    if (!done && decimalEscapes && c >= '0' && c <= '2' && q + 3 < text.size() && digit(text[q + 2]) &&
        digit(text[q + 3])) {
      unsigned v = (c - '0') * 100 + (text[q + 2] - '0') * 10 + (text[q + 3] - '0');
      text.replace(q, 4, 1, char(v & 0xFF));
    }
    p = q + 1;
  }
}

inline std::string str(const bw::QelString& s) { return std::string(s.data(), s.length()); }
inline bw::QelString qel(const std::string& s) { return bw::QelString(s.data(), uint32_t(s.size())); }

}  // namespace reference

#endif
