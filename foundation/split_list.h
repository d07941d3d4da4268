// SplitList: a text cut into pieces at a delimiter, found left to right
// without overlap.  An empty source or delimiter gives no pieces at all.
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

 private:
  QelString source_;
  QelString delimiter_;
  PointerArray starts_;
};

}  // namespace bw

#endif
