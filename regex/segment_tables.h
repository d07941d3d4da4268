// SegmentTables: where a match of the whole pattern that starts at each
// position ends, for every position from some point of the subject to its
// end, worked out once so that trying every start position costs about
// (subject length) x (pattern size) in all, however the pattern and subject
// are made.
//
// The search switches to the tables only when the plain walk has done far
// more work than the bytes it has passed (a hostile pattern and subject);
// otherwise the walk is faster and needs no memory.  The tables record no
// captures: after a match is found the walk is run once at the winning start
// to fill them in.
//
// Why this is exact: a node's outcome at a position depends on that position
// alone (captures are written, never read), so the root, a sequence of
// segments, is worked out from its last segment to its first:
//   end_K(q) = q,   end_k(q) = end_{k+1}(q + segment_k(q)), or no match.
// A segment that is no group is walked at every position; its leaves remember
// their runs, so that costs its size per position.  A group that repeats is
// where the plain walk goes wrong (each start repeats the inside up to 255
// times, or without bound), so its inside is walked once per position and
// the repetitions become a chain over those outcomes: from q the next
// repetition starts at q + inside(q).  The end after at most L repetitions
// is the L-th link of that chain, found for every position at once by
// doubling the links (eight rounds for L <= 255); without a bound it is the
// chain's last position, found in one sweep from the end.
//
// Memory: at most 14 bytes per position, in one block from the module
// allocator, taken when the tables are built and released with them.
#ifndef BRINDLEWORK_REGEX_SEGMENT_TABLES_H
#define BRINDLEWORK_REGEX_SEGMENT_TABLES_H

#include <cstdint>

#include "foundation/object.h"
#include "regex/matcher.h"
#include "regex/regex_node.h"

namespace bw {

// The most memory the tables of one search may take.  A search whose tables
// would need more keeps walking (same results, within the step budget).
constexpr uint64_t kMaxSegmentTableBytes = 128u << 20;

class SegmentTables : public QELObject {
 public:
  // The bytes the tables of root need for positions base..length.
  static uint64_t bytesNeeded(const RegexNode& root, uint32_t length, uint32_t base);

  // Room for the tables of root for positions base..length; bytesNeeded must
  // not exceed kMaxSegmentTableBytes.  Nothing is worked out yet.
  SegmentTables(const RegexNode& root, const Subject& subject, uint32_t base);
  ~SegmentTables() override;
  SegmentTables(const SegmentTables&) = delete;
  SegmentTables& operator=(const SegmentTables&) = delete;

  // Works the tables out, charging the subject's steps; false when the step
  // budget ran out first (the tables are then unusable).
  bool build();

  // What the root matches at p (base <= p < length): its length or -1.
  int32_t matchRoot(uint32_t p) const;

 private:
  // Where the chain of a group's repetitions from each position ends, in
  // links_ (indexes are positions - base, values are positions).
  void chainGroup(const RegexNode& group);
  // Where the group's match from q ends, or kNoEnd.
  uint32_t groupEnd(const RegexNode& group, uint32_t q) const;
  // Charges one pass over every position; false when the budget is spent.
  bool chargePass() const;

  static constexpr uint32_t kNoEnd = 0xFFFFFFFFu;

  const RegexNode& root_;
  const Subject& subject_;
  uint32_t base_;
  uint32_t positions_;
  uint32_t* ends_;         // end of the segments worked out so far, or kNoEnd
  uint32_t* links_;        // a group's chain: the next repetition's start, then the end
  uint32_t* jumps_;        // a bounded group: the end after at most L repetitions
  uint8_t* repetitions_;   // non-empty repetitions along the chain (255: at least 255)
  uint8_t* endsEmpty_;     // the chain ends with a repetition that matched nothing
  uint32_t limit_ = 0;     // repetition bound of the group being worked on
  ByteBuffer storage_;
};

}  // namespace bw

#endif
