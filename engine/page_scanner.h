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
#include <string_view>

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

// Reads the start tag at text[pos] == '<'.  With collect off, the parameters
// are skipped rather than kept.  The parameters are views of `text`.
TagScan scanStartTag(const TagTable& tags, std::string_view text, size_t pos, StartTag& out,
                     bool collect = true);

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
