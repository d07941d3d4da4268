// RegexProgram: compile runs the passes on a private copy of the pattern;
// search tries start positions from left to right.
//
// search skips start positions that no match can begin at: when the pattern
// cannot match the empty text, a match must begin with one of the bytes its
// start set holds, so only those positions are walked (with memchr when the
// set is one byte); when the first segment is anchored at its start, only
// line starts are walked.  The result is the same as walking every position.
//
// When the walk from successive starts does far more work than the bytes it
// passes (a hostile pattern and subject: "(ab)+c" over "abab...", or
// "(ab|a){1,255}c" over "aaa..."), search builds SegmentTables once and
// finishes with them, so that every search costs about (subject length) x
// (pattern size).  On top of that every search stops at its step budget and
// reports that it did, rather than give an answer it did not finish.  A byte that every match
// must contain bounds the start positions by its last occurrence, and rules
// the search out at once when it is absent.
#include "regex/regex_program.h"

#include <cstring>

#include "regex/compile_passes.h"
#include "regex/matcher.h"
#include "regex/segment_tables.h"

namespace bw {

namespace {

// The plain walk's allowance before search turns to segment tables: a fixed
// amount, so short subjects never pay for tables, plus an amount per byte
// passed that grows with the pattern, so benign searches never reach it.
constexpr uint64_t kWalkBudgetBase = 1u << 14;
constexpr uint32_t kWalkBudgetPerNode = 8;
constexpr uint32_t kWalkBudgetPerByte = 32;

uint32_t nodeCount(const RegexNode& node) {
  uint32_t count = 1;
  for (uint32_t i = 0; i < node.childCount(); ++i) count += nodeCount(*node.child(i));
  return count;
}

// A leaf that matches one byte value at least once, or null.
const RegexNode* singleByteLeaf(const RegexNode& node) {
  if (!node.isLeaf() || node.minimum == 0 || node.has(AnyChar) || node.has(Negated)) return nullptr;
  int members = 0;
  for (unsigned byte = 0; byte < 256 && members < 2; ++byte) {
    if (node.isMember(static_cast<unsigned char>(byte))) ++members;
  }
  return members == 1 ? &node : nullptr;
}

// A byte that every match of root contains: one from a leaf that must match
// at least once in a segment that must match at least once, outside any
// alternation; the last such leaf wins (often the byte that ends a match).
int requiredByteOf(const RegexNode& root) {
  int found = -1;
  auto consider = [&found](const RegexNode& leaf) {
    if (!singleByteLeaf(leaf)) return;
    for (unsigned byte = 0; byte < 256; ++byte) {
      if (leaf.isMember(static_cast<unsigned char>(byte))) found = static_cast<int>(byte);
    }
  };
  for (uint32_t k = 0; k < root.childCount(); ++k) {
    const RegexNode* segment = root.child(k);
    if (segment->minimum == 0) continue;
    if (segment->has(Capture)) segment = segment->child(0);
    if (segment->minimum == 0 || segment->has(Alternation)) continue;
    if (segment->isLeaf()) {
      consider(*segment);
      continue;
    }
    for (uint32_t i = 0; i < segment->childCount(); ++i) consider(*segment->child(i));
  }
  return found;
}

// Deletes the tables, if any were built, when the search ends.
struct TablesHolder {
  SegmentTables* tables = nullptr;
  ~TablesHolder() { delete tables; }
};

// Rejection codes of compile besides those of the marking pass.
constexpr int32_t kReservedByte = 100;
constexpr int32_t kBadTree = -1;

bool holdsReservedByte(const QelString& pattern) {
  const uint32_t n = pattern.length();
  return std::memchr(pattern.data(), kClassMark, n) != nullptr ||
         std::memchr(pattern.data(), kGroupMark, n) != nullptr;
}

// The only byte in the set, or -1 when it holds none or several.
int onlyMember(const StartSet& set) {
  int found = -1;
  for (int word = 0; word < 8; ++word) {
    uint32_t bits = set.bits[word];
    if (bits == 0) continue;
    if (found >= 0 || (bits & (bits - 1)) != 0) return -1;
    found = word * 32 + __builtin_ctz(bits);
  }
  return found;
}

}  // namespace

RegexProgram::RegexProgram()
    : root_(captures_, &groupCount_),
      walkBudgetBase_(kWalkBudgetBase),
      walkBudgetPerByte_(kWalkBudgetPerByte) {}

RegexProgram::~RegexProgram() = default;

int32_t RegexProgram::compile(const QelString& pattern) {
  if (pattern.length() > kMaxPatternBytes) return kPatternTooLong;
  // The marks would be confused with these bytes.
  if (holdsReservedByte(pattern)) return kReservedByte;
  QelString text(pattern.data(), pattern.length());
  substituteShorthands(text);
  if (int32_t rejected = markAtoms(text)) return rejected;
  if (buildTree(root_, text) != 0) return kBadTree;
  const StartSet starts = startSetOf(root_);
  mayBeEmpty_ = starts.canBeEmpty;
  for (unsigned byte = 0; byte < 256; ++byte) {
    startBytes_[byte] = (starts.bits[byte >> 5] >> (byte & 31)) & 1u;
  }
  singleStart_ = mayBeEmpty_ ? -1 : onlyMember(starts);
  startsAtLine_ = root_.childCount() > 0 && root_.child(0)->has(AnchorStart);
  walkBudgetPerByte_ = kWalkBudgetPerByte + kWalkBudgetPerNode * nodeCount(root_);
  requiredByte_ = requiredByteOf(root_);
  markPlainBytes(root_);
  return 0;
}

uint32_t RegexProgram::nextCandidate(const unsigned char* s, uint32_t n, uint32_t p) const {
  // n is the limit here: no candidate at or past it is wanted.
  while (p < n) {
    // The first segment's anchor fails anywhere but at a line start.
    if (startsAtLine_ && p != 0 && !isLineBreak(s[p - 1])) {
      while (p < n && !isLineBreak(s[p])) ++p;
      ++p;
      continue;
    }
    if (singleStart_ >= 0) {
      const void* next = std::memchr(s + p, singleStart_, n - p);
      if (next == nullptr) return n;
      const uint32_t at = static_cast<uint32_t>(static_cast<const unsigned char*>(next) - s);
      if (at == p) return p;
      p = at;
    } else if (!mayBeEmpty_ && !startBytes_[s[p]]) {
      do {
        ++p;
      } while (p < n && !startBytes_[s[p]]);
    } else {
      return p;
    }
  }
  return n;
}

bool RegexProgram::search(const QelString& subject, uint32_t start) {
  Subject bytes = {reinterpret_cast<const unsigned char*>(subject.data()), subject.length()};
  bytes.stepLimit = stepBudget_;
  const bool found = searchBytes(bytes, start);
  stepsTaken_ = bytes.steps;
  // A walk cut short by the budget may have looked like a match or like
  // none: either way the search has no answer.
  budgetReached_ = bytes.budgetSpent();
  return found && !budgetReached_;
}

bool RegexProgram::searchBytes(const Subject& bytes, uint32_t start) {
  const uint32_t n = bytes.length;
  forgetRuns(root_);
  // A match contains the required byte at or after its start, so no match
  // starts after the byte's last occurrence.
  uint32_t limit = n;
  if (requiredByte_ >= 0) {
    while (limit > start && limit > 0 && bytes.bytes[limit - 1] != requiredByte_) --limit;
  }
  TablesHolder holder;
  bool tablesTooLarge = false;
  for (uint32_t p = nextCandidate(bytes.bytes, limit, start); p < limit;
       p = nextCandidate(bytes.bytes, limit, p + 1)) {
    if (holder.tables == nullptr && !tablesTooLarge &&
        bytes.steps >= walkBudgetBase_ + static_cast<uint64_t>(p - start) * walkBudgetPerByte_) {
      tablesTooLarge = SegmentTables::bytesNeeded(root_, n, p) > kMaxSegmentTableBytes;
      if (!tablesTooLarge) {
        holder.tables = new SegmentTables(root_, bytes, p);
        if (!holder.tables->build()) return false;
      }
    }
    int32_t length =
        holder.tables ? holder.tables->matchRoot(p) : matchNode(root_, bytes, p);
    if (bytes.budgetSpent()) return false;
    if (length < 0) continue;
    // The tables record no captures: one walk at the winning start does.
    if (holder.tables) length = matchNode(root_, bytes, p);
    if (bytes.budgetSpent()) return false;
    captures_[0] = {static_cast<int32_t>(p), length};
    return true;
  }
  return false;
}

bool RegexProgram::matchedRange(int32_t& start, int32_t& length) const {
  start = captures_[0].start;
  length = captures_[0].length;
  return true;
}

bool RegexProgram::groupRange(uint32_t n, int32_t& start, int32_t& length) const {
  if (n >= groupCount_) return false;
  start = captures_[n + 1].start;
  length = captures_[n + 1].length;
  return true;
}

}  // namespace bw
