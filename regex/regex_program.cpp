// RegexProgram: compile runs the passes on a private copy of the pattern;
// search tries start positions from left to right.
//
// search skips start positions that no match can begin at: when the pattern
// cannot match the empty text, a match must begin with one of the bytes its
// start set holds, so only those positions are walked (with memchr when the
// set is one byte); when the first segment is anchored at its start, only
// line starts are walked.  The result is the same as walking every position.
#include "regex/regex_program.h"

#include <cstring>

#include "regex/compile_passes.h"
#include "regex/matcher.h"

namespace bw {

namespace {

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

RegexProgram::RegexProgram() : root_(captures_, &groupCount_) {}

RegexProgram::~RegexProgram() = default;

int32_t RegexProgram::compile(const QelString& pattern) {
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
  return 0;
}

bool RegexProgram::search(const QelString& subject, uint32_t start) {
  const Subject bytes = {reinterpret_cast<const unsigned char*>(subject.data()), subject.length()};
  const unsigned char* s = bytes.bytes;
  const uint32_t n = bytes.length;
  uint32_t p = start;
  while (p < n) {
    // The first segment's anchor fails anywhere but at a line start.
    if (startsAtLine_ && p != 0 && !isLineBreak(s[p - 1])) {
      while (p < n && !isLineBreak(s[p])) ++p;
      ++p;
      continue;
    }
    if (singleStart_ >= 0) {
      const void* next = std::memchr(s + p, singleStart_, n - p);
      if (next == nullptr) return false;
      const uint32_t at = static_cast<uint32_t>(static_cast<const unsigned char*>(next) - s);
      if (at != p) {
        p = at;
        continue;
      }
    } else if (!mayBeEmpty_ && !startBytes_[s[p]]) {
      do {
        ++p;
      } while (p < n && !startBytes_[s[p]]);
      continue;
    }
    int32_t length = matchNode(root_, bytes, p);
    if (length >= 0) {
      captures_[0] = {static_cast<int32_t>(p), length};
      return true;
    }
    ++p;
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
