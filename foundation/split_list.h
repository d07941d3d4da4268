// SplitList: a text cut into pieces at a delimiter, found left to right
// without overlap.  An empty source or delimiter gives no pieces at all.
// The list shares the source's bytes, so a piece can be read in place
// (pieceBounds) as well as copied out (piece).
#ifndef BRINDLEWORK_FOUNDATION_SPLIT_LIST_H
#define BRINDLEWORK_FOUNDATION_SPLIT_LIST_H

#include "foundation/pointer_array.h"
#include "foundation/qel_string.h"

namespace bw {

class SplitList : public QELObject {
 public:
  SplitList(const QelString& source, const QelString& delimiter, uint32_t options = NoOptions);
  uint32_t count() const { return starts_.count(); }
  // The empty string for an index at or past count.
  QelString piece(uint32_t index) const;
  // Where piece index lies in the source: its first byte and its length
  // (0 and 0 past count).  Reading a piece in place costs no string.
  void pieceBounds(uint32_t index, uint32_t& start, uint32_t& length) const;

 private:
  QelString source_;
  QelString delimiter_;
  PointerArray starts_;
};

}  // namespace bw

#endif
