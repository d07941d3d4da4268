// SegmentTables: the per-segment sweeps and the root chain over them.
//
// Every sweep runs from the end of the subject backwards and asks each leaf
// about positions that only decrease, so the runs the leaves remember are
// read once per sweep; the unbounded group's chain uses the entries already
// made for later positions.
#include "regex/segment_tables.h"

#include <cstdint>

namespace bw {

namespace {

constexpr uint8_t kManyRepetitions = 255;  // enough for any minimum

bool isGroup(const RegexNode& node) { return node.has(Capture); }
bool isUnbounded(const RegexNode& node) { return node.has(kRepeating) && node.maximum == 0; }

}  // namespace

SegmentTables::Kind SegmentTables::kindOf(const RegexNode& segment, uint32_t index) {
  if (isGroup(segment)) {
    if (isUnbounded(segment)) return Kind::unboundedGroup;
    return holdsRepeatingLeaf(segment) ? Kind::boundedGroup : Kind::walk;
  }
  // The first segment is only asked about increasing positions, so its
  // leaves' remembered runs already make it cheap to walk.
  return index > 0 && holdsRepeatingLeaf(segment) ? Kind::result : Kind::walk;
}

namespace {
uint64_t rounded(uint64_t size) { return (size + 7) & ~uint64_t{7}; }
}  // namespace

uint64_t SegmentTables::bytesNeeded(const RegexNode& root, uint32_t length, uint32_t base) {
  const uint64_t positions = static_cast<uint64_t>(length) - base + 1;
  // One block holds the segment records and every table, plus the slack to
  // align it.
  uint64_t bytes = rounded(sizeof(Segment) * root.childCount()) + 8;
  for (uint32_t k = 0; k < root.childCount(); ++k) {
    switch (kindOf(*root.child(k), k)) {
      case Kind::unboundedGroup:
        bytes += rounded(positions * sizeof(uint32_t)) + rounded(positions);
        break;
      case Kind::boundedGroup:
      case Kind::result:
        bytes += rounded(positions * sizeof(int32_t));
        break;
      case Kind::walk:
        break;
    }
  }
  return bytes;
}

SegmentTables::SegmentTables(const RegexNode& root, const Subject& subject, uint32_t base)
    : root_(root), subject_(subject), base_(base), count_(root.childCount()) {
  const uint64_t positions = static_cast<uint64_t>(subject.length) - base + 1;
  const uint64_t bytes = bytesNeeded(root, subject.length, base);
  // The module allocator's blocks carry an origin byte in front, so the
  // block is not aligned: the tables start at the first 8-byte boundary.
  unsigned char* next = storage_.resize(static_cast<uint32_t>(bytes), false);
  next += (8 - (reinterpret_cast<uintptr_t>(next) & 7)) & 7;
  auto take = [&next](uint64_t size) {
    unsigned char* block = next;
    next += rounded(size);
    return block;
  };
  segments_ = reinterpret_cast<Segment*>(take(sizeof(Segment) * count_));
  for (uint32_t k = 0; k < count_; ++k) {
    Segment& segment = segments_[k];
    segment = {root.child(k), kindOf(*root.child(k), k), nullptr, nullptr, nullptr};
    switch (segment.kind) {
      case Kind::unboundedGroup:
        segment.chainEnd = reinterpret_cast<uint32_t*>(take(positions * sizeof(uint32_t)));
        segment.chainCount = take(positions);
        break;
      case Kind::boundedGroup:
      case Kind::result:
        segment.lengths = reinterpret_cast<int32_t*>(take(positions * sizeof(int32_t)));
        break;
      case Kind::walk:
        break;
    }
  }
  for (uint32_t k = 0; k < count_; ++k) build(segments_[k]);
}

SegmentTables::~SegmentTables() = default;

void SegmentTables::build(Segment& segment) {
  const RegexNode& node = *segment.node;
  const uint32_t n = subject_.length;
  switch (segment.kind) {
    case Kind::walk:
      return;
    case Kind::result:
      for (uint32_t q = n + 1; q-- > base_;) segment.lengths[q - base_] = matchNode(node, subject_, q);
      break;
    case Kind::boundedGroup:
      for (uint32_t q = n + 1; q-- > base_;)
        segment.lengths[q - base_] = matchNode(*node.child(0), subject_, q);
      break;
    case Kind::unboundedGroup:
      // end(q) and count(q) from the inside's match r at q: no match ends
      // the chain at q; an empty one satisfies any minimum; otherwise the
      // chain goes on from q + r, already worked out.
      for (uint32_t q = n + 1; q-- > base_;) {
        const int32_t r = matchNode(*node.child(0), subject_, q);
        uint32_t& end = segment.chainEnd[q - base_];
        uint8_t& count = segment.chainCount[q - base_];
        if (r < 0) {
          end = q;
          count = 0;
        } else if (r == 0) {
          end = q;
          count = kManyRepetitions;
        } else {
          const uint32_t next = q + static_cast<uint32_t>(r) - base_;
          end = segment.chainEnd[next];
          const uint8_t after = segment.chainCount[next];
          count = after == kManyRepetitions ? kManyRepetitions : static_cast<uint8_t>(after + 1);
        }
      }
      break;
  }
}

int32_t SegmentTables::matchSegment(const Segment& segment, uint32_t q) const {
  const RegexNode& node = *segment.node;
  switch (segment.kind) {
    case Kind::walk:
      return matchNode(node, subject_, q);
    case Kind::result:
      return segment.lengths[q - base_];
    case Kind::unboundedGroup: {
      if (!startAnchorHolds(node, subject_, q)) return -1;
      if (segment.chainCount[q - base_] < node.minimum) return -1;
      const uint32_t end = segment.chainEnd[q - base_];
      if (!endAnchorHolds(node, subject_, end)) return -1;
      return static_cast<int32_t>(end - q);
    }
    case Kind::boundedGroup: {
      if (!startAnchorHolds(node, subject_, q)) return -1;
      const uint32_t limit = repetitionLimit(node);
      uint32_t position = q;
      uint32_t count = 0;
      while (count < limit) {
        const int32_t r = segment.lengths[position - base_];
        if (r < 0) break;
        ++count;
        if (r == 0) {
          if (count < node.minimum) count = node.minimum;
          break;
        }
        position += static_cast<uint32_t>(r);
      }
      if (count < node.minimum) return -1;
      if (!endAnchorHolds(node, subject_, position)) return -1;
      return static_cast<int32_t>(position - q);
    }
  }
  return -1;
}

int32_t SegmentTables::matchRoot(uint32_t p) const {
  if (count_ == 0) return -1;  // an empty pattern never matches
  uint32_t position = p;
  for (uint32_t k = 0; k < count_; ++k) {
    const int32_t r = matchSegment(segments_[k], position);
    if (r < 0) return -1;
    position += static_cast<uint32_t>(r);
  }
  return static_cast<int32_t>(position - p);
}

}  // namespace bw
