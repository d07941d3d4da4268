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
#include "foundation/string_search.h"
#include "tags/tag_body.h"

namespace bw {

// The entity a loop with this index name replaces.
QelString loopIndexEntity(const QelString& indexName);

// The entity of one loop with its case-blind searcher, made once for every
// copy of the body.
class LoopEntity {
 public:
  explicit LoopEntity(const QelString& indexName);
  LoopEntity(const LoopEntity&) = delete;
  LoopEntity& operator=(const LoopEntity&) = delete;
  const QelString& text() const { return text_; }
  const detail::Searcher& searcher() const { return searcher_; }

 private:
  const QelString text_;
  const detail::Searcher searcher_;  // over text_'s bytes
};

class LoopBody : public TagBody {
 public:
  explicit LoopBody(const QelString& body);
  ~LoopBody() override;

  // Appends one copy of the body to out with every occurrence of the entity
  // replaced by the index value (count bytes, which must not lie in out).
  // The search resumes at the start of each inserted value, so an entity
  // that the value forms with the text after it is replaced too; a value
  // holding the entity itself is not expanded again.  Nothing is allocated
  // but out's growth.
  void expand(const char* indexValue, uint32_t count, const LoopEntity& entity, QelString& out) const;
  void expand(const QelString& indexValue, const LoopEntity& entity, QelString& out) const {
    expand(indexValue.data(), indexValue.length(), entity, out);
  }

  // How often the entity stands in the body, counted piece by piece without
  // overlap, ignoring case: the replacements a copy makes before any that
  // an inserted value forms with the text after it.
  uint32_t entityCount(const LoopEntity& entity) const;
};

}  // namespace bw

#endif
