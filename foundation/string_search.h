// Internal to the foundation library and the tags: the Horspool searcher
// behind QelString::find, reusable across many searches for one pattern
// (replaceAll, SplitList, a loop's index entity), so that its skip table is
// built once, and replaceAll's one pass, appending to a string.
#ifndef BRINDLEWORK_FOUNDATION_STRING_SEARCH_H
#define BRINDLEWORK_FOUNDATION_STRING_SEARCH_H

#include <cstdint>

#include "foundation/qel_string.h"

namespace bw {
namespace detail {

inline unsigned char foldByte(unsigned char c) { return kUpperCaseTable[c]; }

// Whether n bytes at a and b are equal (folded through the upper-case table
// when fold is set).
bool bytesEqual(const unsigned char* a, const unsigned char* b, uint32_t n, bool fold);

class Searcher {
 public:
  enum Direction { Forward, Backward };
  // The pattern bytes must stay valid while the searcher is used.
  Searcher(const unsigned char* pattern, uint32_t count, bool ignoreCase, Direction direction);
  Searcher(const Searcher&) = delete;
  Searcher& operator=(const Searcher&) = delete;

  // The leftmost match lying wholly inside text[from, end).
  bool forward(const unsigned char* text, uint32_t from, uint32_t end, uint32_t& position) const;
  // The rightmost match lying wholly inside text[begin, last].
  bool backward(const unsigned char* text, uint32_t begin, uint32_t last, uint32_t& position) const;

  const unsigned char* pattern() const { return pattern_; }
  uint32_t count() const { return count_; }
  bool folds() const { return fold_; }

 private:
  const unsigned char* pattern_;
  uint32_t count_;
  bool fold_;
  bool useTable_;
  // Skip table by (folded) byte value; only filled when useTable_.
  uint32_t table_[256];
};

// Appends text[0, length) to target with every match of the searcher's
// (forward) pattern replaced by the inserted bytes, exactly as
// QelString::replaceAll does with Rescan when rescan is set; returns the
// number of replacements.  firstMatch is the searcher's first match in the
// text, which the caller has found.  Neither text nor inserted may lie in
// target.
uint32_t appendReplacing(QelString& target, const unsigned char* text, uint32_t length,
                         const Searcher& searcher, uint32_t firstMatch, const unsigned char* inserted,
                         uint32_t insertedLength, bool rescan);

}  // namespace detail
}  // namespace bw

#endif
