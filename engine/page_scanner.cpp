// Start tags, end tags and body extents of registered tags.
#include "engine/page_scanner.h"

namespace bw {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

bool isNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '-' || c == ':' || c == '.';
}

size_t skipBlanks(std::string_view text, size_t i) {
  while (i < text.size() && isBlank(text[i])) ++i;
  return i;
}

// The registered tag whose name starts at text[i], with the name's end.
const RegisteredTag* scanName(const TagTable& tags, std::string_view text, size_t i,
                              size_t& nameEnd) {
  size_t j = i;
  while (j < text.size() && isNameChar(text[j]) && j - i <= tags.longestName()) ++j;
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
    while (i < text.size() && !isBlank(text[i]) && text[i] != '=' && text[i] != '>' &&
           text[i] != '"' && text[i] != '\'' && !(text[i] == '/' && i + 1 < text.size() && text[i + 1] == '>'))
      ++i;
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
        size_t close = text.find(text[i], i + 1);
        if (close == std::string_view::npos) return TagScan::Unterminated;
        value = text.substr(i + 1, close - i - 1);
        i = close + 1;
      } else {
        size_t start = i;
        while (i < text.size() && !isBlank(text[i]) && text[i] != '>') ++i;
        value = text.substr(start, i - start);
      }
    }
    if (collect) out.parameters.push_back(NamedValue{std::string(name), std::string(value)});
  }
}

size_t scanEndTag(const TagTable& tags, std::string_view text, size_t pos,
                  const RegisteredTag** tag) {
  if (pos + 2 >= text.size() || text[pos] != '<' || text[pos + 1] != '/') return 0;
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
