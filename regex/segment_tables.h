// SegmentTables: what each top-level segment of a pattern matches at every
// position from some point of the subject to its end, worked out once so
// that trying every start position costs about (subject length) x (pattern
// size) in all, however the pattern and subject are made.
//
// The search switches to the tables only when the plain walk has done far
// more work than the bytes it has passed (a hostile pattern and subject);
// otherwise the walk is faster and needs no memory.  The tables record no
// captures: after a match is found the walk is run once at the winning start
// to fill them in.
//
// Why a table per segment is enough: a node's outcome at a position depends
// on that position alone, so each segment is worked out once per position,
// sweeping from the end backwards.  A group with an unbounded repetition
// keeps, per position, where its chain of repetitions ends and how many it
// made (so "(ab)+" is read once, not once per start); a segment holding a
// repeating leaf keeps its result; anything else is cheap to walk directly.
// Memory: at most 5 bytes per subject byte per segment, in one block taken
// from the module allocator when the tables are built and released with them.
#ifndef BRINDLEWORK_REGEX_SEGMENT_TABLES_H
#define BRINDLEWORK_REGEX_SEGMENT_TABLES_H

#include <cstdint>

#include "foundation/object.h"
#include "regex/matcher.h"
#include "regex/regex_node.h"

namespace bw {

// The most memory the tables of one search may take.  A search whose tables
// would need more keeps walking (same results, without the time bound).
constexpr uint64_t kMaxSegmentTableBytes = 128u << 20;

class SegmentTables : public QELObject {
 public:
  // The bytes the tables of root need for positions base..length.
  static uint64_t bytesNeeded(const RegexNode& root, uint32_t length, uint32_t base);

  // Works out the tables of root's segments for positions base..length;
  // bytesNeeded must not exceed kMaxSegmentTableBytes.
  SegmentTables(const RegexNode& root, const Subject& subject, uint32_t base);
  ~SegmentTables() override;
  SegmentTables(const SegmentTables&) = delete;
  SegmentTables& operator=(const SegmentTables&) = delete;

  // What the root matches at p (base <= p < length): its length or -1.
  int32_t matchRoot(uint32_t p) const;

 private:
  enum class Kind : uint8_t { walk, result, boundedGroup, unboundedGroup };
  struct Segment {
    const RegexNode* node;
    Kind kind;
    int32_t* lengths;       // result: the segment's; boundedGroup: the inside's
    uint32_t* chainEnd;     // unboundedGroup: where the repetitions end
    uint8_t* chainCount;    // unboundedGroup: how many (255: at least 255)
  };

  static Kind kindOf(const RegexNode& segment, uint32_t index);
  void build(Segment& segment);
  int32_t matchSegment(const Segment& segment, uint32_t q) const;

  const RegexNode& root_;
  const Subject& subject_;
  uint32_t base_;
  uint32_t count_;
  Segment* segments_;
  ByteBuffer storage_;
};

}  // namespace bw

#endif
