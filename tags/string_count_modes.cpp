// The string modes that find occurrences: replace and the two counts.
//
// Occurrences are found left to right without overlap; letters compare
// without regard to case unless caseSensitive is set.
#include "host/parameters.h"
#include "tags/string_modes.h"
#include "tags/string_parameters.h"

namespace bw {

namespace {

uint32_t countOccurrences(const QelString& text, const QelString& pattern, uint32_t options) {
  uint32_t count = 0;
  uint32_t start = 0;
  uint32_t found = 0;
  while (text.find(pattern, start, kToEnd, options, found)) {
    ++count;
    start = found + pattern.length();
  }
  return count;
}

// Bytes that separate words.
bool isBlank(char byte) { return byte == ' ' || byte == '\t' || byte == '\r' || byte == '\n'; }

}  // namespace

uint32_t replaceMode(const ModuleRequest* request, QelString& text, bool caseSensitive) {
  QelString pattern;
  if (!requireDecodedParameter(request, string_parameter::kStringToReplace, pattern)) return MMRP;
  QelString replacement;
  if (!requireDecodedParameter(request, string_parameter::kReplacementString, replacement))
    return MMRP;
  // An empty text to replace occurs nowhere.
  if (pattern.isEmpty()) return 0;
  const uint32_t options = caseSensitive ? NoOptions : IgnoreCase;
  if (replacement.length() > pattern.length()) {
    const uint64_t growth = static_cast<uint64_t>(countOccurrences(text, pattern, options)) *
                            (replacement.length() - pattern.length());
    if (text.length() + growth > kMaxStringResultLength) return reportResultTooLong(request);
  }
  text.replaceAll(pattern, replacement, options);
  return 0;
}

// Tabs, CR LF pairs, lone CRs and LFs all count as spaces, and runs of
// spaces separate words, so the words are the runs of other bytes.
uint32_t getWordCountMode(const ModuleRequest*, QelString& text, bool) {
  uint32_t words = 0;
  bool inWord = false;
  for (uint32_t i = 0, n = text.length(); i < n; ++i) {
    const bool blank = isBlank(text.charAt(i));
    if (!blank && !inWord) ++words;
    inWord = !blank;
  }
  text = decimalText(words);
  return 0;
}

// With a character parameter: its occurrences; without: the bytes that are
// not line breaks.
uint32_t getCharacterCountMode(const ModuleRequest* request, QelString& text,
                               bool caseSensitive) {
  QelString character;
  uint32_t count = 0;
  if (getDecodedParameter(request, string_parameter::kCharacter, character, QelString())) {
    if (!character.isEmpty()) {
      count = countOccurrences(text, character, caseSensitive ? NoOptions : IgnoreCase);
    }
  } else {
    for (uint32_t i = 0, n = text.length(); i < n; ++i) {
      const char byte = text.charAt(i);
      if (byte != '\r' && byte != '\n') ++count;
    }
  }
  text = decimalText(count);
  return 0;
}

}  // namespace bw
