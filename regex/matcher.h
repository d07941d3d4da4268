// The possessive matcher: one walk of a node at one position.
//
// The outcome of a node at a position depends on that position alone (capture
// entries are written on the way but never read), which is what lets search
// skip start positions and remember outcomes.  Nothing is allocated here.
#ifndef BRINDLEWORK_REGEX_MATCHER_H
#define BRINDLEWORK_REGEX_MATCHER_H

#include <cstdint>

#include "regex/regex_node.h"

namespace bw {

// The subject of one search, as raw bytes.
struct Subject {
  const unsigned char* bytes;
  uint32_t length;
};

// Bytes matched by node from begin, or -1.
int32_t matchNode(const RegexNode& node, const Subject& subject, uint32_t begin);

// What a match of node must start with: the bytes a non-empty match can begin
// with, and whether the node can match without consuming anything.
struct StartSet {
  uint32_t bits[8];
  bool canBeEmpty;
};
StartSet startSetOf(const RegexNode& node);

}  // namespace bw

#endif
