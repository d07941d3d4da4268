// TagBody: a tag body cut into a doubly linked list of tokens, each a run of
// plain text or one tag, with the module's own end tags paired to their
// opening tags.
//
// The control tags need to see their body's structure at its top level only:
// where "<qelElse>" or a "<qelCase" tag stands, and which nested blocks to
// step over whole.  The scanner knows nothing of HTML beyond the shape of a
// tag and never changes, drops or adds a byte: the token texts, read in
// order, are the scanned body (up to its end or its first 0 byte).  The
// texts are views of the body, which the TagBody shares for its lifetime.
//
// Nothing here recurses, so bodies nested to any depth are safe.
#ifndef BRINDLEWORK_TAGS_TAG_BODY_H
#define BRINDLEWORK_TAGS_TAG_BODY_H

#include <cstdint>

#include "foundation/object.h"
#include "foundation/qel_string.h"
#include "tags/body_token.h"
#include "tags/token_arena.h"

namespace bw {

class OpenTagIndex;

class TagBody : public QELObject {
 public:
  // Scans the body.  With pairAllTags set, ordinary end tags are paired as
  // well as the module's own.
  TagBody(const QelString& body, bool pairAllTags);
  // Scans bytes the caller keeps: they must stay valid and unchanged while
  // the body lives, and be followed by a 0 byte (a handler's exchange
  // buffer, which outlives the body it holds).
  TagBody(TokenText bytes, bool pairAllTags);
  ~TagBody() override;
  TagBody(const TagBody&) = delete;
  TagBody& operator=(const TagBody&) = delete;

  // Called by the scanner each time a tag's closing ">" has been read, for
  // the last token: pairs an end tag with its opening tag.
  virtual void onTagComplete();

  // Joins the tokens from first to last, both included, into first, whose
  // kind and partner stay as they were; the others are destroyed.  The
  // texts are neighbours in the body, so the join allocates nothing.  Does
  // nothing when either is null.  A pair that
  // the join cuts apart is unpaired, so no partner ever points at a
  // destroyed token: the outside end loses its partner (and an opening tag
  // its paired flag), and first loses a partner that was inside the run.
  void merge(BodyToken* first, BodyToken* last);

  // The texts of the tokens from first to last, both included, joined;
  // empty when first is null.  Leaves the list as it is.
  static QelString joinedText(const BodyToken* first, const BodyToken* last);
  // The same as a view of the body (last null: to the end of the list).
  static TokenText joinedView(const BodyToken* first, const BodyToken* last);

  BodyToken* head = nullptr;
  BodyToken* tail = nullptr;
  const bool pairAllTags;

 private:
  // Scans text up to its first 0 byte (the terminator, or one inside it);
  // the tokens are destroyed when the scan fails.
  void scanAll(const char* text);
  void scan(const char* text);
  BodyToken* addToken(uint8_t kind);
  void destroyTokens();

  const QelString body_;  // shared with the caller's body (or empty): the bytes the token texts view
  TokenArena arena_;  // the tokens' storage; every token is destroyed before it goes
  OpenTagIndex* index_ = nullptr;  // only while scanning
};

}  // namespace bw

#endif
