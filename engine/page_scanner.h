// Finding the module's tags in page text.
//
// A tag is "<" + a registered name (ASCII case ignored) followed by a blank,
// ">" or "/>".  Its parameters are written name="value" (single quotes and
// bare values are accepted too; a name without "=" has the empty value);
// repeated names are kept in order of appearance.  A tag with a body ends at
// the matching end tag, counting nested tags of the same name, so that
// <qelIf><qelIf></qelIf></qelIf> pairs outer with outer.  Quoted values may
// hold ">" and line breaks.
#ifndef BRINDLE_ENGINE_PAGE_SCANNER_H
#define BRINDLE_ENGINE_PAGE_SCANNER_H

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/tag_parameters.h"
#include "engine/tag_table.h"

namespace bw {

struct StartTag {
  const RegisteredTag* tag = nullptr;
  std::string_view spelledName;
  TagParameters parameters;  // views of the text, values as written; variables are expanded later
  bool selfClosed = false;
  size_t end = 0;  // just past the closing ">"
};

enum class TagScan {
  NotATag,       // "<" that starts no registered tag
  Found,
  Unterminated,  // a registered name whose start tag never closes
};

// The start tags of one text read one after another, left to right: the
// places from which a tag's parameters were read to the end of the text
// without closing.  Where a parameter starts depends on nothing before it,
// so a later tag whose parameters reach such a place never closes either and
// is not read further.  A text of many tags left open (<a x="<a x="<a x="...)
// is then read a few times in all, not once per tag.
class OpenTagMemo {
 public:
  // For a text of `textSize` bytes; the places are marked from the first
  // tag found never closed on, so that a text without one costs nothing.
  void reset(size_t textSize) {
    textSize_ = textSize;
    neverCloses_.clear();
    visited_.clear();
  }
  // Lets go of storage past `bytes`, so that one large text does not stay held.
  void trim(size_t bytes) {
    if (neverCloses_.capacity() / 8 > bytes) std::vector<bool>().swap(neverCloses_);
    if (visited_.capacity() * sizeof(size_t) > bytes) std::vector<size_t>().swap(visited_);
  }
  // Bytes the last scan read, from its "<".
  uint64_t lastRead() const { return lastRead_; }

 private:
  friend TagScan scanStartTag(const TagTable&, std::string_view, size_t, StartTag&, bool, OpenTagMemo*);
  size_t textSize_ = 0;
  std::vector<bool> neverCloses_;  // empty until a tag is found never closed
  std::vector<size_t> visited_;  // the parameters' places of the scan in progress
  uint64_t lastRead_ = 0;
};

// Reads the start tag at text[pos] == '<'.  With collect off, the parameters
// are skipped rather than kept.  The parameters are views of `text`.  With a
// memo, `text` must be the one text the memo serves, read left to right.
TagScan scanStartTag(const TagTable& tags, std::string_view text, size_t pos, StartTag& out,
                     bool collect = true, OpenTagMemo* memo = nullptr);

// The length of "</name>" (blanks allowed before ">") of a registered tag at
// text[pos], or 0; `tag` receives the tag.  Asked at every "<", most of which
// start no end tag, so that test is made here, inline.
size_t scanEndTagName(const TagTable& tags, std::string_view text, size_t pos,
                      const RegisteredTag** tag);
inline size_t scanEndTag(const TagTable& tags, std::string_view text, size_t pos,
                         const RegisteredTag** tag) {
  if (pos + 2 >= text.size() || text[pos] != '<' || text[pos + 1] != '/') return 0;
  return scanEndTagName(tags, text, pos, tag);
}

struct BodyExtent {
  size_t bodyEnd = 0;  // where the end tag starts
  size_t after = 0;    // just past the end tag
};

// The end tag closing a body of `tag` that starts at `from`.
bool findMatchingEnd(const TagTable& tags, std::string_view text, size_t from,
                     const RegisteredTag& tag, BodyExtent& out);

}  // namespace bw

#endif
