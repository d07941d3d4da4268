// The mode table of the string tags: keyword and operation, in the order the
// keywords are compared.  "noOperation" has no row: it, like any keyword not
// listed, leaves the text as it is.
#include "tags/string_modes.h"

#include "foundation/known_keywords.h"

namespace bw {

namespace {

struct StringModeRow {
  const char* keyword;
  StringMode run;
};

constexpr StringModeRow kStringModes[] = {
    {"urlEncode", urlEncodeMode},
    {"urlDecode", urlDecodeMode},
    {"htmlEncode", htmlEncodeMode},
    {"htmlDecode", htmlDecodeMode},
    {"toUpper", toUpperMode},
    {"toLower", toLowerMode},
    {"substring", substringMode},
    {"replace", replaceMode},
    {"insert", insertMode},
    {"prepend", prependMode},
    {"append", appendMode},
    {"trimLeft", trimLeftMode},
    {"trimRight", trimRightMode},
    {"trim", trimMode},
    {"getLength", getLengthMode},
    {"split", splitMode},
    {"getWordCount", getWordCountMode},
    {"getCharacterCount", getCharacterCountMode},
    {"padLeft", padLeftMode},
    {"padRight", padRightMode},
    {"regularExpression", regularExpressionMode},
};
constexpr uint32_t kStringModeCount = sizeof kStringModes / sizeof kStringModes[0];

// The case-folded keys of the keywords, built at load with the other name
// tables so that no request allocates them.
struct StringModeKeys {
  StringModeKeys() {
    for (uint32_t i = 0; i < kStringModeCount; ++i) {
      keys[i] = NameKey(kStringModes[i].keyword);
      registerKnownKeyword(keys[i]);
    }
  }
  NameKey keys[kStringModeCount];
};
const StringModeKeys kStringModeKeys;

}  // namespace

uint32_t runStringMode(const ModuleRequest* request, const NameKey& mode, QelString& text,
                       bool caseSensitive) {
  for (uint32_t i = 0; i < kStringModeCount; ++i) {
    if (kStringModeKeys.keys[i] == mode) return kStringModes[i].run(request, text, caseSensitive);
  }
  return 0;
}

}  // namespace bw
