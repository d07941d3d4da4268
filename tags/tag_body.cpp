// The tag-body scanner: reads the body byte by byte through a ByteSource,
// drives the state table of scanner_table.h, and pairs end tags through the
// OpenTagIndex as each tag completes.  Also the list operations the control
// tags use to cut their result out of the list.
#include "tags/tag_body.h"

#include "tags/open_tag_index.h"
#include "tags/pending_bytes.h"
#include "tags/scanner_table.h"
#include "tags/token_text_cache.h"

namespace bw {

TagBody::TagBody(const QelString& body, bool pairAll) : pairAllTags(pairAll) {
  TextByteSource source(body);
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
  // The bytes of the token being read collect here and become its text in
  // one exact allocation when the token ends (a new token begins, its tag
  // completes, or the body ends), or in none when an equal short text came
  // shortly before.  onTagComplete always sees the full text.
  PendingBytes pending;
  TokenTextCache texts;
  auto settle = [&] {
    if (tail != nullptr && !pending.empty()) {
      texts.assign(tail->text, pending.data(), pending.size());
      pending.clear();
    }
  };
  // A "<" inside a text run only starts a new token once the byte after it
  // shows a tag: when that byte turns the "<" back into text ("x < y",
  // "a<=b"), the run goes on as one text token.  Until then the "<" waits at
  // heldAt in pending, behind the run's own bytes.
  constexpr size_t kNotHeld = static_cast<size_t>(-1);
  size_t heldAt = kNotHeld;
  auto startHeldTag = [&] {
    texts.assign(tail->text, pending.data(), static_cast<uint32_t>(heldAt));
    pending.dropFront(static_cast<uint32_t>(heldAt));
    heldAt = kNotHeld;
    addToken(kTagToken);
  };
  scanner::State state = scanner::Start;
  char byte;
  for (;;) {
    if (heldAt == kNotHeld) {
      // Bytes that only join the token and keep the state go in one step.
      const uint32_t run = source.runWhile(scanner::kRuns.stays[state]);
      if (run != 0) {
        pending.append(source.rest(), run);
        source.skip(run);
      }
    }
    if (!source.nextByte(byte)) break;
    const scanner::Step& step = scanner::kTable.steps[state][static_cast<unsigned char>(byte)];
    if (heldAt != kNotHeld) {
      // state is TagOpen: the byte after the held "<".
      if (step.kind == kTextToken) {
        heldAt = kNotHeld;
      } else {
        startHeldTag();
        if (step.kind != scanner::kKeepKind) tail->kind = step.kind;
      }
    } else if (step.action == scanner::NewToken) {
      if (state == scanner::Text) {
        heldAt = pending.size();
      } else {
        settle();
        addToken(step.kind);
      }
    } else if (step.kind != scanner::kKeepKind) {
      tail->kind = step.kind;
    }
    pending.push(byte);
    if (step.action == scanner::TagComplete) {
      settle();
      onTagComplete();
    }
    state = step.next;
  }
  // A body that ends right after the "<" leaves it an unfinished tag.
  if (heldAt != kNotHeld) startHeldTag();
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
  uint32_t total = 0;
  for (const BodyToken* token = first; token != nullptr && token != end; token = token->next) {
    total += token->text.length();
  }
  first->text.reserve(total);
  BodyToken* token = first->next;
  while (token != nullptr && token != end) {
    BodyToken* following = token->next;
    first->text.append(token->text);
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

QelString TagBody::joinedText(const BodyToken* first, const BodyToken* last) {
  QelString joined;
  if (first == nullptr) return joined;
  const BodyToken* end = last != nullptr ? last->next : nullptr;
  uint32_t total = 0;
  for (const BodyToken* token = first; token != end; token = token->next) {
    total += token->text.length();
  }
  joined.reserve(total);
  for (const BodyToken* token = first; token != end; token = token->next) {
    joined.append(token->text);
  }
  return joined;
}

}  // namespace bw
