// IfBody: the body of a qelIf, split at its else marker.
//
// The part before the first top-level "<qelElse>" is the true branch, the
// part after it the false branch; markers inside nested qel blocks belong to
// those blocks and are stepped over with them.
#ifndef BRINDLEWORK_TAGS_IF_BODY_H
#define BRINDLEWORK_TAGS_IF_BODY_H

#include "foundation/qel_string.h"
#include "tags/tag_body.h"

namespace bw {

class IfBody : public TagBody {
 public:
  explicit IfBody(const QelString& body);
  // Over bytes the caller keeps, as TagBody(TokenText, bool) describes.
  explicit IfBody(TokenText bytes);
  ~IfBody() override;

  // The branch the condition chooses, trimmed of blanks at both ends.  A
  // body without marker is all true branch.
  QelString select(bool condition) const;

  // The first top-level else marker, or null.
  const BodyToken* elseMarker() const;
};

}  // namespace bw

#endif
