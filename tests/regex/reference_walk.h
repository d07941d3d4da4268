// The step-by-step walk, kept as the reference the real search is compared
// with: every start position in turn, the tree walked from it with no tables
// and no caches, exactly as the matcher is defined.  Slow on purpose.
#ifndef BRINDLEWORK_TESTS_REGEX_REFERENCE_WALK_H
#define BRINDLEWORK_TESTS_REGEX_REFERENCE_WALK_H

#include <string>
#include <vector>

#include "regex/regex_program.h"

namespace bw::test {

struct ReferenceResult {
  bool found = false;
  int32_t start = 0;
  int32_t length = 0;
  std::vector<std::pair<int32_t, int32_t>> groups;  // after a match
};

class ReferenceWalk {
 public:
  ReferenceWalk(const std::string& subject) : s_(subject) {}

  ReferenceResult search(const RegexProgram& program, uint32_t start) {
    ReferenceResult result;
    captures_.assign(kCaptureEntries, {0, 0});
    for (uint32_t p = start; p < s_.size(); ++p) {
      int32_t length = match(program.root(), p);
      if (length < 0) continue;
      result.found = true;
      result.start = static_cast<int32_t>(p);
      result.length = length;
      for (uint32_t g = 1; g <= program.groupCount(); ++g) result.groups.push_back(captures_[g]);
      break;
    }
    return result;
  }

 private:
  static bool lineBreak(char c) { return c == '\r' || c == '\n'; }

  int32_t attempt(const RegexNode& node, uint32_t position) {
    if (node.isLeaf()) {
      if (position >= s_.size()) return -1;
      return node.leafAccepts(static_cast<unsigned char>(s_[position])) ? 1 : -1;
    }
    if (node.has(Alternation)) {
      int32_t length = match(*node.child(0), position);
      return length >= 0 ? length : match(*node.child(1), position);
    }
    uint32_t at = position;
    for (uint32_t i = 0; i < node.childCount(); ++i) {
      int32_t length = match(*node.child(i), at);
      if (length < 0) return -1;
      at += static_cast<uint32_t>(length);
    }
    return static_cast<int32_t>(at - position);
  }

  int32_t match(const RegexNode& node, uint32_t begin) {
    const bool repeats = node.has(Star) || node.has(Plus) || node.has(Counted);
    uint32_t position = begin;
    uint32_t count = 0;
    for (;;) {
      int32_t length = attempt(node, position);
      if (length < 0) break;
      ++count;
      if (length == 0) {
        if (count < node.minimum) count = node.minimum;
        break;
      }
      position += static_cast<uint32_t>(length);
      if (node.maximum != 0 && count >= node.maximum) break;
      if (!repeats) break;
    }
    if (count < node.minimum) return -1;
    if (node.has(AnchorStart) && begin != 0 && !lineBreak(s_[begin - 1])) return -1;
    if (node.has(AnchorEnd) && position != s_.size() && !lineBreak(s_[position])) return -1;
    if (node.has(Capture)) {
      captures_[node.groupNumber] = {static_cast<int32_t>(begin),
                                     static_cast<int32_t>(position - begin)};
    }
    return static_cast<int32_t>(position - begin);
  }

  const std::string& s_;
  std::vector<std::pair<int32_t, int32_t>> captures_;
};

// One search of the real program against the walk: "" when the match, its
// start and length and every group's span agree, else what differs.  With
// forceTables the search uses its tables from the first start.
inline std::string compareWithReference(const std::string& pattern, const std::string& subject,
                                        bool forceTables) {
  RegexProgram program;
  if (program.compile(QelString(pattern.data(), static_cast<uint32_t>(pattern.size()))) != 0)
    return "rejected";
  if (forceTables) program.setWalkBudget(0, 0);
  ReferenceWalk reference(subject);
  const ReferenceResult want = reference.search(program, 0);
  const bool found = program.search(QelString(subject.data(), static_cast<uint32_t>(subject.size())), 0);
  if (program.budgetReached()) return "stopped at the step budget";
  if (found != want.found) return found ? "found a match the walk does not" : "missed the match";
  if (!found) return "";
  int32_t start = 0, length = 0;
  program.matchedRange(start, length);
  if (start != want.start || length != want.length)
    return "match (" + std::to_string(start) + "," + std::to_string(length) + ") instead of (" +
           std::to_string(want.start) + "," + std::to_string(want.length) + ")";
  for (uint32_t g = 0; g < program.groupCount(); ++g) {
    int32_t gs = 0, gl = 0;
    program.groupRange(g, gs, gl);
    if (gs != want.groups[g].first || gl != want.groups[g].second)
      return "group " + std::to_string(g + 1) + " differs";
  }
  return "";
}

}  // namespace bw::test

#endif
