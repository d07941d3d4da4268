// The tag-body scanner: reads the body's terminated bytes up to the first 0,
// drives the state table of scanner_table.h, and pairs end tags through the
// OpenTagIndex as each tag completes.  Also the list operations the control
// tags use to cut their result out of the list.
#include "tags/tag_body.h"

#include "tags/open_tag_index.h"
#include "tags/scanner_table.h"

namespace bw {

namespace {

// The scan reads the byte after a "<" of a text run together with it, and
// relies on no step from TagOpen starting or finishing a token.
constexpr bool tagOpenStepsOnlyAppend() {
  for (unsigned byte = 0; byte < 256; ++byte)
    if (scanner::kTable.steps[scanner::TagOpen][byte].action != scanner::Append) return false;
  return true;
}
static_assert(tagOpenStepsOnlyAppend(), "a step after \"<\" must only append");

}  // namespace

TagBody::TagBody(const QelString& body, bool pairAll) : pairAllTags(pairAll), body_(body) {
  scanAll(body_.cString());
}

TagBody::TagBody(TokenText bytes, bool pairAll) : pairAllTags(pairAll) { scanAll(bytes.data()); }

void TagBody::scanAll(const char* text) {
  OpenTagIndex index;
  index_ = &index;
  try {
    scan(text);
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

BodyToken* TagBody::addToken(uint8_t kind) {
  BodyToken* token = arena_.make();
  token->kind = kind;
  token->prev = tail;
  if (tail != nullptr) {
    tail->next = token;
  } else {
    head = token;
  }
  tail = token;
  return token;
}

void TagBody::scan(const char* text) {
  // The walk keeps its place, the token being read and where that token
  // began in locals: the kind stores are byte stores, which the compiler
  // must assume may change any member it would otherwise keep in a
  // register.  The token begins at open; its view is set when it ends (its
  // tag completes, or the body ends), so onTagComplete always sees the full
  // text.
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  const unsigned char* open = nullptr;
  BodyToken* current = tail;
  auto settle = [&](const unsigned char* end) {
    if (open != nullptr) {
      current->text = TokenText(reinterpret_cast<const char*>(open), static_cast<uint32_t>(end - open));
      open = nullptr;
    }
  };
  auto startToken = [&](const unsigned char* at, uint8_t kind) {
    settle(at);
    current = addToken(kind);
    open = at;
  };
  scanner::State state = scanner::Start;
  for (;;) {
    // Bytes that only join the token and keep the state go in one step (the
    // set never holds the terminator's 0).
    const bool* stays = scanner::kRuns.stays[state];
    while (stays[*p]) ++p;
    const unsigned char byte = *p;
    if (byte == 0) break;  // the end, or a 0 inside the text: nothing past it is scanned
    const scanner::Step& step = scanner::kTable.steps[state][byte];
    if (step.plain) {
      ++p;
      state = step.next;
      continue;
    }
    if (step.action == scanner::NewToken && state == scanner::Text) {
      // A "<" inside a text run only starts a new token once the byte after
      // it shows a tag: when that byte turns the "<" back into text ("x < y",
      // "a<=b"), the run goes on as one text token.  A body that ends right
      // after the "<" leaves it an unfinished tag.
      const unsigned char after = p[1];
      if (after == 0) {
        startToken(p++, step.kind);
        break;
      }
      const scanner::Step& following = scanner::kTable.steps[scanner::TagOpen][after];
      if (following.kind != kTextToken) {
        startToken(p, step.kind);
        if (following.kind != scanner::kKeepKind) current->kind = following.kind;
      }
      // No step after a "<" completes a tag.
      p += 2;
      state = following.next;
      continue;
    }
    ++p;
    if (step.action == scanner::NewToken) {
      startToken(p - 1, step.kind);
    } else if (step.kind != scanner::kKeepKind) {
      current->kind = step.kind;
    }
    if (step.action == scanner::TagComplete) {
      settle(p);
      onTagComplete();
    }
    state = step.next;
  }
  settle(p);
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
