// RegexProgram: a compiled pattern of the module's own dialect, its capture
// table and its group count.
//
// Life of a program: construct, compile once, search once, read the match and
// groups, destroy.  Matching is possessive and never backtracks: every
// repetition keeps what it took and the first alternative that matches
// stands.  Matching allocates nothing.
#ifndef BRINDLEWORK_REGEX_REGEX_PROGRAM_H
#define BRINDLEWORK_REGEX_REGEX_PROGRAM_H

#include <cstdint>

#include "foundation/object.h"
#include "foundation/qel_string.h"
#include "regex/matcher.h"
#include "regex/regex_node.h"

namespace bw {

class RegexProgram : public QELObject {
 public:
  RegexProgram();
  ~RegexProgram() override;
  RegexProgram(const RegexProgram&) = delete;
  RegexProgram& operator=(const RegexProgram&) = delete;

  // Patterns longer than this are refused before any work is done: a page
  // author's pattern is a line or two, and compiling a pattern of megabytes
  // (a visitor's text pasted in) would hold the host's thread for seconds.
  static constexpr uint32_t kMaxPatternBytes = 65536;
  // compile's answer for a pattern over kMaxPatternBytes.
  static constexpr int32_t kPatternTooLong = 101;

  // 0 when the pattern was accepted, non-zero when rejected.  The caller's
  // text is not touched.  After a rejection the program is only destroyed.
  int32_t compile(const QelString& pattern);

  // The most steps one search may take (nodes entered, bytes read, table
  // entries worked out), like PCRE2's match limit.  Every search costs at
  // most about (subject length) x (pattern size) steps, so a short pattern
  // over a few mebibytes stays well within it, and only a large pattern over
  // a large subject comes near it (a 5,000-byte pattern over 20 KB, say).
  // At this many steps a search has run for a few hundred milliseconds and
  // stops rather than hold the host's thread longer.
  static constexpr uint64_t kSearchStepBudget = 100000000;

  // Tries start positions from start to the last byte and stops at the first
  // where the pattern matches; stores the match in capture entry 0.  False
  // also when the search stopped at its step budget (budgetReached tells).
  bool search(const QelString& subject, uint32_t start);
  // Whether the last search stopped at its step budget, without an answer.
  bool budgetReached() const { return budgetReached_; }

  bool matchedRange(int32_t& start, int32_t& length) const;
  uint32_t groupCount() const { return groupCount_; }
  // n is 0-based (0 is group 1); false when there is no such group.
  bool groupRange(uint32_t n, int32_t& start, int32_t& length) const;

  // The compiled tree, for tests and tools.
  const RegexNode& root() const { return root_; }

  // How much work the plain walk may do before search switches to segment
  // tables: base steps plus perByte steps for every byte passed.  For tests
  // and tools; (0, 0) uses the tables from the first start position.
  void setWalkBudget(uint64_t base, uint32_t perByte) {
    walkBudgetBase_ = base;
    walkBudgetPerByte_ = perByte;
  }
  // Another step budget than kSearchStepBudget, for tests and tools.
  void setStepBudget(uint64_t steps) { stepBudget_ = steps; }
  // The steps the last search took, for tests and tools.
  uint64_t stepsTaken() const { return stepsTaken_; }

 private:
  // The first position at or after p and before limit where a match may
  // begin, or limit.
  uint32_t nextCandidate(const unsigned char* s, uint32_t limit, uint32_t p) const;
  // search without the budget's verdict.
  bool searchBytes(const Subject& bytes, uint32_t start);

  RegexNode root_;
  CaptureEntry captures_[kCaptureEntries] = {};
  uint32_t groupCount_ = 0;
  // Where a match can begin, worked out once by compile: whether a match
  // may be empty (then every position is tried), the bytes a non-empty one
  // begins with, the one such byte when there is only one (-1 otherwise),
  // and whether a match must begin at a line start.
  bool mayBeEmpty_ = true;
  unsigned char startBytes_[256] = {};
  int singleStart_ = -1;
  bool startsAtLine_ = false;
  int requiredByte_ = -1;  // a byte every match contains, or -1
  uint64_t walkBudgetBase_;
  uint32_t walkBudgetPerByte_;
  uint64_t stepBudget_ = kSearchStepBudget;
  uint64_t stepsTaken_ = 0;
  bool budgetReached_ = false;
};

}  // namespace bw

#endif
