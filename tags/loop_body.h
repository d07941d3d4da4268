// LoopBody: the body of a qelLoop, cut into pieces, and its expansion for
// one index value.
//
// Every copy of the body has its index entity ("&qelLoopIndex" + the index
// name + ";", in any letter case) replaced by the index value.  The body
// itself is never changed: each expansion works on fresh copies of the
// pieces.  Ordinary end tags are paired too.
#ifndef BRINDLEWORK_TAGS_LOOP_BODY_H
#define BRINDLEWORK_TAGS_LOOP_BODY_H

#include "foundation/qel_string.h"
#include "tags/tag_body.h"

namespace bw {

// The entity a loop with this index name replaces.
QelString loopIndexEntity(const QelString& indexName);

class LoopBody : public TagBody {
 public:
  explicit LoopBody(const QelString& body);
  ~LoopBody() override;

  // Appends one copy of the body to out with every occurrence of entity
  // replaced by indexValue.  The search resumes at the start of each inserted
  // value, so an entity that the value forms with the text after it is
  // replaced too; a value holding the entity itself is not expanded again.
  void expand(const QelString& indexValue, const QelString& entity, QelString& out) const;

  // How often the entity stands in the body, counted piece by piece without
  // overlap, ignoring case: the replacements a copy makes before any that
  // an inserted value forms with the text after it.
  uint32_t entityCount(const QelString& entity) const;
};

}  // namespace bw

#endif
