// The shorthand rows of the dialect: POSIX class names and backslash
// shorthands, rewritten as plain pattern text before anything is parsed.
//
// The rows run one after the other in table order, each over the whole text
// (inside bracket expressions too).  A row does not rescan its own
// replacements, but later rows see them: \s becomes "[ \f\t\v]" as text and
// the \f, \t and \v rows then turn those pairs into bytes.
#include "regex/compile_passes.h"

namespace bw {

namespace {

struct ShorthandRow {
  const char* text;
  const char* replacement;
};

constexpr ShorthandRow kShorthandRows[] = {
    {"[:alpha:]", "[A-Za-z]"},
    {"[:alnum:]", "[0-9A-Za-z]"},
    {"[:blank:]", ""},
    {"[:cntrl:]", ""},
    {"[:digit:]", "[0-9]"},
    {"[:graph:]", ""},
    {"[:lower:]", "[a-z]"},
    {"[:print:]", ""},
    {"[:punct:]", ""},
    {"[:space:]", ""},
    {"[:upper:]", "[A-Z]"},
    {"[:xdigit:]", ""},
    {"\\c", "[A-Za-z]"},
    {"\\C", "[^A-Za-z]"},
    {"\\d", "[0-9]"},
    {"\\D", "[^0-9]"},
    {"\\s", "[ \\f\\t\\v]"},
    {"\\S", "[^ \\f\\t\\v]"},
    {"\\w", "[A-Za-z0-9_]"},
    {"\\W", "[^A-Za-z0-9_]"},
    {"\\f", "\f"},
    {"\\n", "\n"},
    {"\\r", "\r"},
    {"\\t", "\t"},
    {"\\v", "\v"},
};

}  // namespace

void substituteShorthands(QelString& text) {
  for (const ShorthandRow& row : kShorthandRows) {
    text.replaceAll(row.text, QelString(row.replacement), NoOptions);
  }
}

}  // namespace bw
