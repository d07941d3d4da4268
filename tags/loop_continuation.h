// The qelLoop tag that carries a numeric loop's state to its next call.
//
// Each call of a numeric loop produces one copy of the body and, while
// iterations remain, this tag after it; the host's processing of the tag
// runs the next iteration.  Its text is fixed byte for byte: the parameter
// names as the loop reads them, the numbers in plain decimal text, the index
// name and the raw body as received, nothing escaped.
#ifndef BRINDLEWORK_TAGS_LOOP_CONTINUATION_H
#define BRINDLEWORK_TAGS_LOOP_CONTINUATION_H

#include "decimal/big_decimal.h"
#include "foundation/qel_string.h"

namespace bw {

struct LoopState {
  const BigDecimal& first;
  const BigDecimal& step;  // non-negative
  const BigDecimal& last;
  const QelString& indexName;
  const BigDecimal& iteration;  // already advanced
  const BigDecimal& totalSize;  // this call's body included
};

// Appends the continuation tag for the state and raw body to out.
void appendLoopContinuation(const LoopState& state, const QelString& body, QelString& out);

}  // namespace bw

#endif
