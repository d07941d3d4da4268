// OpenTagIndex: the unpaired opening tags an end tag can still reach, kept
// while a body is scanned so that pairing never walks back over the body.
//
// An end tag pairs with the nearest earlier unpaired opening tag of its kind
// that is not inside an already paired block and whose text starts with "<"
// plus the end tag's inner text (between "</" and ">"), ignoring case, followed
// by a blank or ">".  Once a pair forms, every opening tag between its two
// ends is out of reach for good, because any later walk jumps over the pair
// as a whole.  So the reachable opening tags form a stack in body order: a
// new opening tag is pushed, and a pair pops its opening tag and everything
// above it.
//
// Beside the stack, each reachable opening tag is chained, newest first,
// under every inner text an end tag could give to reach it: its text from
// after the "<" up to each blank or ">" it holds (usually just its name, up
// to the first blank).  An end tag looks up its own inner text and finds its
// opening tag at the front of that chain, so no end tag looks at tags that
// cannot pair with it, however many there are.  Each opening tag is pushed
// and popped once with one chain link per blank or ">" in its text, which
// makes pairing linear in the length of the body.
//
// Most bodies never hold more than a few reachable opening tags at once.
// Until the stack first grows past kChainedFrom, no chains are built and an
// end tag compares with the reachable tags newest first, which finds the
// same tag (the front of its chain would be the newest one that matches);
// at that point the chains of the tags on the stack are built, and kept
// from then on.
#ifndef BRINDLEWORK_TAGS_OPEN_TAG_INDEX_H
#define BRINDLEWORK_TAGS_OPEN_TAG_INDEX_H

#include <cstdint>

#include "foundation/object.h"
#include "foundation/qel_string.h"
#include "tags/body_token.h"
#include "tags/small_table.h"

namespace bw {

class OpenTagIndex : public QELObject {
 public:
  OpenTagIndex();
  ~OpenTagIndex() override;
  OpenTagIndex(const OpenTagIndex&) = delete;
  OpenTagIndex& operator=(const OpenTagIndex&) = delete;

  // Records a completed, unpaired opening tag.
  void addOpeningTag(BodyToken* opening);
  // The opening tag the end tag pairs with, or null.  A found tag and every
  // tag opened after it leave the index.
  BodyToken* takeOpeningTagFor(const BodyToken& endTag);

  // How many opening tags the lookups have compared with an end tag so
  // far: once chained, one per pair formed, plus the rare hash collisions;
  // before, at most kChainedFrom per end tag.  Tests hold hostile bodies to
  // it.
  uint64_t candidatesCompared() const { return candidatesCompared_; }

 private:
  struct Reachable {
    BodyToken* token;
    uint32_t firstLink;  // its chain links are links_[firstLink..] up to the next entry's
  };
  struct Link {
    uint64_t key;    // kind and folded inner text
    uint32_t below;  // 1 + index of the next older link with the same key; 0: none
    uint32_t owner;  // index of its opening tag in reachable_
  };

  static constexpr uint32_t kChainedFrom = 8;

  void chain(uint32_t owner);
  void popThrough(uint32_t owner);

  SmallArray<Reachable, 16> reachable_;  // oldest first
  SmallArray<Link, 16> links_;           // in the order of reachable_
  KeyHeads<32> newest_;                  // key -> 1 + index of its newest link
  uint64_t candidatesCompared_ = 0;
  bool chained_ = false;
};

}  // namespace bw

#endif
