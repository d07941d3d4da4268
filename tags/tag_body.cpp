// The tag-body scanner: reads the body byte by byte through a ByteSource,
// drives the state table of scanner_table.h, and pairs end tags through the
// OpenTagIndex as each tag completes.  Also the list operations the control
// tags use to cut their result out of the list.
#include "tags/tag_body.h"

#include "tags/open_tag_index.h"
#include "tags/scanner_table.h"

namespace bw {

TagBody::TagBody(const QelString& body, bool pairAll) : pairAllTags(pairAll), body_(body) {
  TextByteSource source(body_);
  OpenTagIndex index;
  index_ = &index;
  try {
    scan(source);
  } catch (...) {
    // No destructor runs for a body whose construction failed.
    index_ = nullptr;
    destroyTokens();
    throw;
  }
  index_ = nullptr;
}

TagBody::~TagBody() { destroyTokens(); }

void TagBody::destroyTokens() {
  BodyToken* token = head;
  while (token != nullptr) {
    BodyToken* following = token->next;
    TokenArena::destroy(token);
    token = following;
  }
  head = tail = nullptr;
}

void TagBody::addToken(uint8_t kind) {
  BodyToken* token = arena_.make();
  token->kind = kind;
  token->prev = tail;
  if (tail != nullptr) {
    tail->next = token;
  } else {
    head = token;
  }
  tail = token;
}

void TagBody::scan(TextByteSource& source) {
  // The token being read begins at open and ends where the source stands;
  // its view is set when it ends (a new token begins, its tag completes, or
  // the body ends), so onTagComplete always sees the full text.
  const char* open = nullptr;
  auto settle = [&] {
    if (open != nullptr) {
      tail->text = TokenText(open, static_cast<uint32_t>(source.rest() - open));
      open = nullptr;
    }
  };
  // A "<" inside a text run only starts a new token once the byte after it
  // shows a tag: when that byte turns the "<" back into text ("x < y",
  // "a<=b"), the run goes on as one text token.  Until then the "<" waits
  // at held, inside the run.
  const char* held = nullptr;
  auto startHeldTag = [&] {
    tail->text = TokenText(open, static_cast<uint32_t>(held - open));
    addToken(kTagToken);
    open = held;
    held = nullptr;
  };
  scanner::State state = scanner::Start;
  char byte;
  for (;;) {
    // Bytes that only join the token and keep the state go in one step.
    if (held == nullptr) source.skip(source.runWhile(scanner::kRuns.stays[state]));
    if (!source.nextByte(byte)) break;
    const scanner::Step& step = scanner::kTable.steps[state][static_cast<unsigned char>(byte)];
    if (held != nullptr) {
      // state is TagOpen: the byte after the held "<".
      if (step.kind == kTextToken) {
        held = nullptr;
      } else {
        startHeldTag();
        if (step.kind != scanner::kKeepKind) tail->kind = step.kind;
      }
    } else if (step.action == scanner::NewToken) {
      if (state == scanner::Text) {
        held = source.rest() - 1;
      } else {
        settle();
        addToken(step.kind);
        open = source.rest() - 1;
      }
    } else if (step.kind != scanner::kKeepKind) {
      tail->kind = step.kind;
    }
    if (step.action == scanner::TagComplete) {
      settle();
      onTagComplete();
    }
    state = step.next;
  }
  // A body that ends right after the "<" leaves it an unfinished tag.
  if (held != nullptr) startHeldTag();
  settle();
}

void TagBody::onTagComplete() {
  BodyToken* completed = tail;
  if (completed == nullptr || index_ == nullptr) return;
  const uint8_t kind = completed->kind;
  if ((kind & (kMarkupFlag | kClosingFlag)) == (kMarkupFlag | kClosingFlag)) {
    if (kind != kQelEndTagToken && !pairAllTags) return;
    BodyToken* opening = index_->takeOpeningTagFor(*completed);
    if (opening == nullptr) return;
    completed->partner = opening;
    opening->kind |= kPairedFlag;
    opening->partner = completed;
  } else if (kind == kQelTagToken || (kind == kTagToken && pairAllTags)) {
    // Only tags some later end tag may want are indexed.
    index_->addOpeningTag(completed);
  }
}

void TagBody::merge(BodyToken* first, BodyToken* last) {
  if (first == nullptr || last == nullptr || first == last) return;
  BodyToken* const end = last->next;
  first->text = joinedView(first, last);
  BodyToken* token = first->next;
  while (token != nullptr && token != end) {
    BodyToken* following = token->next;
    if (BodyToken* other = token->partner) {
      // Nothing may keep pointing at a token that is about to go.
      other->partner = nullptr;
      if (other != first) other->kind &= static_cast<uint8_t>(~kPairedFlag);
    }
    TokenArena::destroy(token);
    token = following;
  }
  first->next = token;
  if (token != nullptr) {
    token->prev = first;
  } else {
    tail = first;
  }
}

TokenText TagBody::joinedView(const BodyToken* first, const BodyToken* last) {
  if (first == nullptr) return TokenText();
  if (last == nullptr) {
    last = first;
    while (last->next != nullptr) last = last->next;
  }
  return TokenText(first->text.data(), static_cast<uint32_t>(last->text.end() - first->text.data()));
}

QelString TagBody::joinedText(const BodyToken* first, const BodyToken* last) {
  const TokenText view = joinedView(first, last);
  return QelString(view.data(), view.length());
}

}  // namespace bw
