// SegmentTables: the sweeps over every position, segment by segment from the
// last, and the chains of the repeating groups.
//
// A sweep that fills ends_ in place runs from the first position up: the
// entry for q reads the entry of a position at or after q, which still
// holds the value of the segments after this one.  Walking a segment's leaves
// at increasing positions lets their remembered runs make each leaf read
// each byte once per sweep.
#include "regex/segment_tables.h"

#include <cstdint>

namespace bw {

namespace {

constexpr uint8_t kManyRepetitions = 255;  // enough for any minimum
constexpr uint32_t kUnbounded = 0xFFFFFFFFu;

bool isGroup(const RegexNode& node) { return node.has(Capture); }

// A group whose end after its bound is a link of its chain further than the
// next one.
bool needsJumps(const RegexNode& node) {
  const uint32_t limit = repetitionLimit(node);
  return isGroup(node) && limit > 1 && limit != kUnbounded;
}

uint64_t rounded(uint64_t size) { return (size + 7) & ~uint64_t{7}; }

}  // namespace

uint64_t SegmentTables::bytesNeeded(const RegexNode& root, uint32_t length, uint32_t base) {
  const uint64_t positions = static_cast<uint64_t>(length) - base + 1;
  bool groups = false;
  bool jumps = false;
  for (uint32_t k = 0; k < root.childCount(); ++k) {
    groups = groups || isGroup(*root.child(k));
    jumps = jumps || needsJumps(*root.child(k));
  }
  // The slack aligns the block, which the allocator's origin byte shifts.
  uint64_t bytes = 8 + rounded(positions * sizeof(uint32_t));
  if (groups) bytes += rounded(positions * sizeof(uint32_t)) + 2 * rounded(positions);
  if (jumps) bytes += rounded(positions * sizeof(uint32_t));
  return bytes;
}

SegmentTables::SegmentTables(const RegexNode& root, const Subject& subject, uint32_t base)
    : root_(root),
      subject_(subject),
      base_(base),
      positions_(subject.length - base + 1),
      ends_(nullptr),
      links_(nullptr),
      jumps_(nullptr),
      repetitions_(nullptr),
      endsEmpty_(nullptr) {
  const uint64_t bytes = bytesNeeded(root, subject.length, base);
  unsigned char* next = storage_.resize(static_cast<uint32_t>(bytes), false);
  next += (8 - (reinterpret_cast<uintptr_t>(next) & 7)) & 7;
  auto take = [&next](uint64_t size) {
    unsigned char* block = next;
    next += rounded(size);
    return block;
  };
  ends_ = reinterpret_cast<uint32_t*>(take(positions_ * sizeof(uint32_t)));
  bool groups = false;
  bool jumps = false;
  for (uint32_t k = 0; k < root.childCount(); ++k) {
    groups = groups || isGroup(*root.child(k));
    jumps = jumps || needsJumps(*root.child(k));
  }
  if (groups) {
    links_ = reinterpret_cast<uint32_t*>(take(positions_ * sizeof(uint32_t)));
    repetitions_ = take(positions_);
    endsEmpty_ = take(positions_);
  }
  if (jumps) jumps_ = reinterpret_cast<uint32_t*>(take(positions_ * sizeof(uint32_t)));
}

SegmentTables::~SegmentTables() = default;

bool SegmentTables::chargePass() const {
  subject_.steps += positions_;
  return !subject_.budgetSpent();
}

bool SegmentTables::build() {
  for (uint32_t i = 0; i < positions_; ++i) ends_[i] = base_ + i;
  if (!chargePass()) return false;
  for (uint32_t k = root_.childCount(); k-- > 0;) {
    const RegexNode& segment = *root_.child(k);
    if (isGroup(segment)) {
      chainGroup(segment);
      if (subject_.budgetSpent()) return false;
      for (uint32_t i = 0; i < positions_; ++i) {
        const uint32_t end = groupEnd(segment, base_ + i);
        ends_[i] = end == kNoEnd ? kNoEnd : ends_[end - base_];
      }
    } else {
      forgetRuns(segment);
      for (uint32_t i = 0; i < positions_; ++i) {
        const int32_t length = matchNode(segment, subject_, base_ + i);
        ends_[i] = length < 0 ? kNoEnd : ends_[i + static_cast<uint32_t>(length)];
      }
    }
    if (!chargePass()) return false;
  }
  return true;
}

void SegmentTables::chainGroup(const RegexNode& group) {
  const RegexNode& inside = *group.child(0);
  forgetRuns(inside);
  limit_ = repetitionLimit(group);
  // From the end backwards, so that the chain from q goes on at a position
  // already worked out.  links_ first holds the next repetition's start (q
  // itself where the chain stops).
  for (uint32_t i = positions_; i-- > 0;) {
    const uint32_t q = base_ + i;
    const int32_t length = matchNode(inside, subject_, q);
    if (length > 0) {
      const uint32_t next = i + static_cast<uint32_t>(length);
      links_[i] = q + static_cast<uint32_t>(length);
      repetitions_[i] = repetitions_[next] == kManyRepetitions
                            ? kManyRepetitions
                            : static_cast<uint8_t>(repetitions_[next] + 1);
      endsEmpty_[i] = endsEmpty_[next];
    } else {
      links_[i] = q;
      repetitions_[i] = 0;
      endsEmpty_[i] = length == 0;
    }
  }
  if (!chargePass()) return;
  if (limit_ == kUnbounded) {
    // The chain's last position, from the end backwards: the next link's
    // entry already holds its own.
    for (uint32_t i = positions_; i-- > 0;) links_[i] = links_[links_[i] - base_];
    chargePass();
    return;
  }
  if (limit_ == 1) return;
  // Doubling: links_ becomes the 2^b-th link while jumps_ collects the links
  // of limit_'s bits.  A chain's last position links to itself, so a chain
  // shorter than limit_ ends there.  links_ doubles in place from the first
  // position up: the entry for i reads entries at or after i, still single.
  for (uint32_t i = 0; i < positions_; ++i) jumps_[i] = base_ + i;
  for (uint32_t bit = 1;; bit <<= 1) {
    if (limit_ & bit) {
      for (uint32_t i = 0; i < positions_; ++i) jumps_[i] = links_[jumps_[i] - base_];
      if (!chargePass()) return;
    }
    if ((limit_ & ~(2 * bit - 1)) == 0) return;
    for (uint32_t i = 0; i < positions_; ++i) links_[i] = links_[links_[i] - base_];
    if (!chargePass()) return;
  }
}

uint32_t SegmentTables::groupEnd(const RegexNode& group, uint32_t q) const {
  if (!startAnchorHolds(group, subject_, q)) return kNoEnd;
  const uint32_t i = q - base_;
  // How many repetitions the walk counts: the bound when the chain reaches
  // it; otherwise the non-empty ones, and an empty last one satisfies any
  // minimum.
  const uint32_t repetitions = repetitions_[i];
  uint32_t count = repetitions;
  if (limit_ != kUnbounded && repetitions >= limit_) {
    count = limit_;
  } else if (endsEmpty_[i]) {
    count = repetitions + 1 < group.minimum ? group.minimum : repetitions + 1;
  }
  if (count < group.minimum) return kNoEnd;
  const uint32_t end = limit_ != kUnbounded && limit_ > 1 ? jumps_[i] : links_[i];
  if (!endAnchorHolds(group, subject_, end)) return kNoEnd;
  return end;
}

int32_t SegmentTables::matchRoot(uint32_t p) const {
  if (root_.childCount() == 0) return -1;  // an empty pattern never matches
  const uint32_t end = ends_[p - base_];
  return end == kNoEnd ? -1 : static_cast<int32_t>(end - p);
}

}  // namespace bw
