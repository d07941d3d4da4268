// The module's eight tags: the name each is registered under, the flags the
// host receives for it, and the handler (with its mode) that processes it.
//
// The rows are constant data, in the fixed order in which the tags are
// registered, matched and listed on the properties page.  The case-folded
// keys of the names are built at load time (host/module_constants.h).
#ifndef BRINDLEWORK_HOST_TAG_TABLE_H
#define BRINDLEWORK_HOST_TAG_TABLE_H

#include <cstdint>

#include "host/tag_handlers.h"

namespace bw {

struct TagRow {
  const char* name;            // as registered and as shown to administrators
  uint32_t registrationFlags;  // handed to the host unchanged, never read back
  TagHandler handler;
  int mode;                    // 0 or 1 for the two shared handlers, else 0
};

constexpr uint32_t kTagCount = 8;

// Bodies that still hold tags (scanned, returned for the host to process),
// bodies read as plain data, and tags that stand alone.
constexpr uint32_t kNestingBodyFlags = BW_TAG_HAS_BODY | BW_TAG_RAW_BODY;  // 0x12
constexpr uint32_t kDataBodyFlags = BW_TAG_HAS_BODY;                       // 0x10
constexpr uint32_t kNoBodyFlags = BW_TAG_NO_BODY;                          // 0x20

inline constexpr TagRow kTagTable[kTagCount] = {
    {"qelComment", kNestingBodyFlags, handleComment, 0},
    {"qelIf", kNestingBodyFlags, handleCondition, 0},
    {"qelInlineIf", kNoBodyFlags, handleCondition, 1},
    {"qelInlineString", kNoBodyFlags, handleString, 1},
    {"qelLoop", kNestingBodyFlags, handleLoop, 0},
    {"qelMath", kDataBodyFlags, handleMath, 0},
    {"qelString", kDataBodyFlags, handleString, 0},
    {"qelSwitch", kNestingBodyFlags, handleSwitch, 0},
};

}  // namespace bw

#endif
