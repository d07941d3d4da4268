// Start tags, end tags and body extents of registered tags.
#include "engine/page_scanner.h"

#include "engine/byte_scan.h"
#include "engine/text_util.h"

namespace bw {
namespace {

// The registered tag whose name starts at p, with the name's end.  One byte
// past the longest name is enough to tell that a name is longer, so no more
// is read.
const RegisteredTag* scanName(const TagTable& tags, const char* p, const char* end,
                              const char*& nameEnd) {
  const size_t longest = tags.longestName();
  const char* limit = static_cast<size_t>(end - p) > longest ? p + longest + 1 : end;
  const char* q = endOfTagName(p, limit);
  if (q == p || static_cast<size_t>(q - p) > longest) return nullptr;
  nameEnd = q;
  return tags.find(std::string_view(p, static_cast<size_t>(q - p)));
}

}  // namespace

TagScan scanStartTag(const TagTable& tags, std::string_view text, size_t pos, StartTag& out,
                     bool collect, OpenTagMemo* memo) {
  const char* const begin = text.data();
  const char* const end = begin + text.size();
  const char* const tagName = begin + pos + 1;
  const char* p = nullptr;
  const RegisteredTag* tag = scanName(tags, tagName, end, p);
  if (tag == nullptr) return TagScan::NotATag;
  if (p != end && !isByteOf(*p, kBlankByte) && *p != '>' && *p != '/')
    return TagScan::NotATag;  // a longer name such as <qelIfx>
  out.tag = tag;
  out.spelledName = std::string_view(tagName, static_cast<size_t>(p - tagName));
  out.parameters.clear();
  out.selfClosed = false;
  // The outcome from the top of the loop depends on p alone: the memo's place.
  auto unterminated = [&](const char* at) {
    if (memo != nullptr) {
      if (memo->neverCloses_.empty()) memo->neverCloses_.assign(memo->textSize_ + 1, false);
      for (size_t place : memo->visited_) memo->neverCloses_[place] = true;
      memo->visited_.clear();
      memo->lastRead_ = static_cast<uint64_t>(at - begin) - pos;
    }
    return TagScan::Unterminated;
  };
  auto found = [&](const char* after) {
    out.end = static_cast<size_t>(after - begin);
    if (memo != nullptr) {
      memo->visited_.clear();
      memo->lastRead_ = out.end - pos;
    }
    return TagScan::Found;
  };
  for (;;) {
    if (memo != nullptr) {
      const size_t place = static_cast<size_t>(p - begin);
      if (!memo->neverCloses_.empty() && memo->neverCloses_[place]) return unterminated(p);
      memo->visited_.push_back(place);
    }
    p = skipBlankBytes(p, end);
    if (p == end) return unterminated(p);
    if (*p == '>') return found(p + 1);
    if (*p == '/' && p + 1 != end && p[1] == '>') {
      out.selfClosed = true;
      return found(p + 2);
    }
    const char* nameStart = p;
    // A "/" ends the name only as the start of "/>".
    while ((p = endOfParameterName(p, end)) != end && *p == '/' && !(p + 1 != end && p[1] == '>')) ++p;
    if (p == nameStart) {  // a stray quote or "=": not part of any parameter
      ++p;
      continue;
    }
    std::string_view name(nameStart, static_cast<size_t>(p - nameStart));
    std::string_view value;
    bool dollar = false;  // whether the value may hold a reference
    // Mostly written name="value": the blanks around "=" are looked for
    // only when the next byte is not what that shape puts there.
    const char* afterName = p != end && *p == '=' ? p : skipBlankBytes(p, end);
    if (afterName != end && *afterName == '=') {
      p = afterName + 1;
      if (p != end && *p != '"') p = skipBlankBytes(p, end);
      if (p == end) return unterminated(p);
      if (*p == '"' || *p == '\'') {
        const char* close = findByteNotingDollar(p + 1, end, *p, dollar);
        if (close == end) return unterminated(close);
        value = std::string_view(p + 1, static_cast<size_t>(close - p - 1));
        p = close + 1;
      } else {
        dollar = true;  // rare enough to be looked at again
        const char* valueStart = p;
        while (p != end && !isByteOf(*p, kBlankByte) && *p != '>') ++p;
        value = std::string_view(valueStart, static_cast<size_t>(p - valueStart));
      }
    }
    if (collect) out.parameters.add(name, value, !dollar);
  }
}

size_t scanEndTagName(const TagTable& tags, std::string_view text, size_t pos,
                      const RegisteredTag** tag) {
  const char* const end = text.data() + text.size();
  const char* nameEnd = nullptr;
  const RegisteredTag* found = scanName(tags, text.data() + pos + 2, end, nameEnd);
  if (found == nullptr) return 0;
  const char* p = skipBlankBytes(nameEnd, end);
  if (p == end || *p != '>') return 0;
  *tag = found;
  return static_cast<size_t>(p + 1 - text.data()) - pos;
}

namespace {

// The length of the end tag of `tag` at text[pos] == '<', or 0.  Only the
// body's own end tags count while its end is looked for (any other end tag
// holds no "<" and is passed over like other text), so the name is compared
// with the one name it can be, without a lookup.
size_t endTagOf(const RegisteredTag& tag, std::string_view text, size_t pos) {
  const size_t length = tag.name.size();
  const size_t nameAt = pos + 2;
  if (text.size() - pos <= 2 + length || text[pos + 1] != '/' || length > TagTable::kLongestFoundName)
    return 0;
  const char* name = text.data() + nameAt;
  if (isByteOf(name[length], kTagNameByte) || !equalsIgnoringCase({name, length}, tag.name)) return 0;
  const char* end = text.data() + text.size();
  const char* p = skipBlankBytes(name + length, end);
  if (p == end || *p != '>') return 0;
  return static_cast<size_t>(p + 1 - text.data()) - pos;
}

}  // namespace

bool findMatchingEnd(const TagTable& tags, std::string_view text, size_t from,
                     const RegisteredTag& tag, BodyExtent& out) {
  size_t depth = 1;
  StartTag nested;
  size_t i = from;
  while ((i = text.find('<', i)) != std::string_view::npos) {
    if (size_t length = endTagOf(tag, text, i)) {
      if (--depth == 0) {
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
