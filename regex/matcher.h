// The possessive matcher: one walk of a node at one position.
//
// The outcome of a node at a position depends on that position alone (capture
// entries are written on the way but never read), which is what lets search
// skip start positions and remember outcomes.  Nothing is allocated here.
//
// A repeating leaf remembers the run of accepted bytes it last measured, so
// that a walk starting anywhere inside that run reaches its end without
// reading it again: every start inside a run ends where the run ends.
#ifndef BRINDLEWORK_REGEX_MATCHER_H
#define BRINDLEWORK_REGEX_MATCHER_H

#include <cstdint>

#include "regex/regex_node.h"

namespace bw {

// The subject of one search, as raw bytes, and the work done on it so far
// (nodes entered plus bytes read), which the search uses to notice a walk
// that is going quadratic and to stop at its step budget.  Once steps
// passes stepLimit every node fails at once, so a walk under way unwinds in
// a few calls; its outcome is then meaningless and the search says so.
struct Subject {
  const unsigned char* bytes;
  uint32_t length;
  mutable uint64_t steps = 0;
  uint64_t stepLimit = UINT64_MAX;
  bool budgetSpent() const { return steps > stepLimit; }
};

constexpr uint16_t kRepeating = Star | Plus | Counted;

// Most repetitions the node may make (0xFFFFFFFF: no bound).
inline uint32_t repetitionLimit(const RegexNode& node) {
  if (!node.has(kRepeating)) return 1;
  return node.maximum == 0 ? 0xFFFFFFFFu : node.maximum;
}

// The start anchor of a node that begins at begin, and its end anchor when
// it ends at end.
inline bool startAnchorHolds(const RegexNode& node, const Subject& subject, uint32_t begin) {
  return !node.has(AnchorStart) || begin == 0 || isLineBreak(subject.bytes[begin - 1]);
}
inline bool endAnchorHolds(const RegexNode& node, const Subject& subject, uint32_t end) {
  return !node.has(AnchorEnd) || end == subject.length || isLineBreak(subject.bytes[end]);
}

// Forgets the runs remembered by the leaves under node (itself included).
void forgetRuns(const RegexNode& node);

// Marks the leaves under node that match exactly one byte, once, with no
// anchor: a sequence tests those inline instead of walking them.
void markPlainBytes(RegexNode& node);

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
