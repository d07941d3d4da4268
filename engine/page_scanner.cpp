// Start tags, end tags and body extents of registered tags.
#include "engine/page_scanner.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "engine/text_util.h"

namespace bw {
namespace {

// What a byte can be in a tag, as a table: every byte of a tag is looked up,
// so one load replaces a chain of comparisons.
enum ByteClass : uint8_t {
  kBlank = 1,              // space, tab, line feed, carriage return, form feed
  kEndsParameterName = 2,  // blanks, "=", ">", quotes and "/" (when "/>" follows)
};

constexpr std::array<uint8_t, 256> makeByteClasses() {
  std::array<uint8_t, 256> classes{};
  for (unsigned char c : {' ', '\t', '\n', '\r', '\f'}) classes[c] |= kBlank | kEndsParameterName;
  for (unsigned char c : {'=', '>', '"', '\'', '/'}) classes[c] |= kEndsParameterName;
  return classes;
}
constexpr std::array<uint8_t, 256> kByteClasses = makeByteClasses();

bool is(char c, ByteClass byteClass) {
  return (kByteClasses[static_cast<unsigned char>(c)] & byteClass) != 0;
}
bool isBlank(char c) { return is(c, kBlank); }

size_t skipBlanks(std::string_view text, size_t i) {
  while (i < text.size() && isBlank(text[i])) ++i;
  return i;
}

// The registered tag whose name starts at text[i], with the name's end.
const RegisteredTag* scanName(const TagTable& tags, std::string_view text, size_t i,
                              size_t& nameEnd) {
  // One byte past the longest name is enough to tell that a name is longer.
  size_t limit = std::min(text.size(), i + tags.longestName() + 1);
  size_t j = i;
  while (j < limit && isNameByte(text[j])) ++j;
  if (j == i || j - i > tags.longestName()) return nullptr;
  nameEnd = j;
  return tags.find(text.substr(i, j - i));
}

}  // namespace

TagScan scanStartTag(const TagTable& tags, std::string_view text, size_t pos, StartTag& out,
                     bool collect) {
  size_t i = pos + 1;
  size_t nameEnd = 0;
  const RegisteredTag* tag = scanName(tags, text, i, nameEnd);
  if (tag == nullptr) return TagScan::NotATag;
  if (nameEnd < text.size() && !isBlank(text[nameEnd]) && text[nameEnd] != '>' &&
      text[nameEnd] != '/')
    return TagScan::NotATag;  // a longer name such as <qelIfx>
  out.tag = tag;
  out.spelledName = text.substr(i, nameEnd - i);
  out.parameters.clear();
  out.selfClosed = false;
  i = nameEnd;
  for (;;) {
    i = skipBlanks(text, i);
    if (i >= text.size()) return TagScan::Unterminated;
    char c = text[i];
    if (c == '>') {
      out.end = i + 1;
      return TagScan::Found;
    }
    if (c == '/' && i + 1 < text.size() && text[i + 1] == '>') {
      out.selfClosed = true;
      out.end = i + 2;
      return TagScan::Found;
    }
    size_t nameStart = i;
    for (;;) {
      while (i < text.size() && !is(text[i], kEndsParameterName)) ++i;
      // A "/" ends the name only as the start of "/>".
      if (i < text.size() && text[i] == '/' && !(i + 1 < text.size() && text[i + 1] == '>')) {
        ++i;
        continue;
      }
      break;
    }
    if (i == nameStart) {  // a stray quote or "=": not part of any parameter
      ++i;
      continue;
    }
    std::string_view name = text.substr(nameStart, i - nameStart);
    std::string_view value;
    size_t afterName = skipBlanks(text, i);
    if (afterName < text.size() && text[afterName] == '=') {
      i = skipBlanks(text, afterName + 1);
      if (i >= text.size()) return TagScan::Unterminated;
      if (text[i] == '"' || text[i] == '\'') {
        size_t close = findByte(text, i + 1, text[i]);
        if (close == std::string_view::npos) return TagScan::Unterminated;
        value = text.substr(i + 1, close - i - 1);
        i = close + 1;
      } else {
        size_t start = i;
        while (i < text.size() && !isBlank(text[i]) && text[i] != '>') ++i;
        value = text.substr(start, i - start);
      }
    }
    if (collect) out.parameters.add(name, value);
  }
}

size_t scanEndTagName(const TagTable& tags, std::string_view text, size_t pos,
                      const RegisteredTag** tag) {
  size_t nameEnd = 0;
  const RegisteredTag* found = scanName(tags, text, pos + 2, nameEnd);
  if (found == nullptr) return 0;
  size_t i = skipBlanks(text, nameEnd);
  if (i >= text.size() || text[i] != '>') return 0;
  *tag = found;
  return i + 1 - pos;
}

bool findMatchingEnd(const TagTable& tags, std::string_view text, size_t from,
                     const RegisteredTag& tag, BodyExtent& out) {
  size_t depth = 1;
  StartTag nested;
  size_t i = from;
  while ((i = text.find('<', i)) != std::string_view::npos) {
    const RegisteredTag* endOf = nullptr;
    if (size_t length = scanEndTag(tags, text, i, &endOf)) {
      if (endOf == &tag && --depth == 0) {
        out.bodyEnd = i;
        out.after = i + length;
        return true;
      }
      i += length;
      continue;
    }
    if (scanStartTag(tags, text, i, nested, false) == TagScan::Found) {
      if (nested.tag == &tag && !nested.selfClosed) ++depth;
      i = nested.end;
      continue;
    }
    ++i;
  }
  return false;
}

}  // namespace bw
