// The 22 operations of qelString and qelInlineString.
//
// Each mode works on the tag's text in place, reads its own parameters and
// returns 0 or a result code (MMRP for a missing parameter, which the getter
// has already reported).  runStringMode picks the mode by keyword, letter
// case aside; a keyword it does not know leaves the text unchanged.
#ifndef BRINDLEWORK_TAGS_STRING_MODES_H
#define BRINDLEWORK_TAGS_STRING_MODES_H

#include <cstdint>

#include "brindlework/module.h"
#include "foundation/name_key.h"
#include "foundation/qel_string.h"

namespace bw {

using StringMode = uint32_t (*)(const ModuleRequest* request, QelString& text, bool caseSensitive);

uint32_t runStringMode(const ModuleRequest* request, const NameKey& mode, QelString& text,
                       bool caseSensitive);

// string_text_modes.cpp: codecs, case, trimming, joining, length.
uint32_t urlEncodeMode(const ModuleRequest* request, QelString& text, bool caseSensitive);
uint32_t urlDecodeMode(const ModuleRequest* request, QelString& text, bool caseSensitive);
uint32_t htmlEncodeMode(const ModuleRequest* request, QelString& text, bool caseSensitive);
uint32_t htmlDecodeMode(const ModuleRequest* request, QelString& text, bool caseSensitive);
uint32_t toUpperMode(const ModuleRequest* request, QelString& text, bool caseSensitive);
uint32_t toLowerMode(const ModuleRequest* request, QelString& text, bool caseSensitive);
uint32_t prependMode(const ModuleRequest* request, QelString& text, bool caseSensitive);
uint32_t appendMode(const ModuleRequest* request, QelString& text, bool caseSensitive);
uint32_t trimLeftMode(const ModuleRequest* request, QelString& text, bool caseSensitive);
uint32_t trimRightMode(const ModuleRequest* request, QelString& text, bool caseSensitive);
uint32_t trimMode(const ModuleRequest* request, QelString& text, bool caseSensitive);
uint32_t getLengthMode(const ModuleRequest* request, QelString& text, bool caseSensitive);

// string_position_modes.cpp: modes driven by page positions and counts.
uint32_t substringMode(const ModuleRequest* request, QelString& text, bool caseSensitive);
uint32_t insertMode(const ModuleRequest* request, QelString& text, bool caseSensitive);
uint32_t splitMode(const ModuleRequest* request, QelString& text, bool caseSensitive);
uint32_t padLeftMode(const ModuleRequest* request, QelString& text, bool caseSensitive);
uint32_t padRightMode(const ModuleRequest* request, QelString& text, bool caseSensitive);

// string_count_modes.cpp: replacing and counting occurrences.
uint32_t replaceMode(const ModuleRequest* request, QelString& text, bool caseSensitive);
uint32_t getWordCountMode(const ModuleRequest* request, QelString& text, bool caseSensitive);
uint32_t getCharacterCountMode(const ModuleRequest* request, QelString& text, bool caseSensitive);

// string_regex_mode.cpp: the regular-expression search and its page variables.
uint32_t regularExpressionMode(const ModuleRequest* request, QelString& text, bool caseSensitive);

}  // namespace bw

#endif
