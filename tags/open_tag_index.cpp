// The reachable-opening-tag index of the scanner; see open_tag_index.h for
// why a stack plus chains per inner text gives the same pairs as walking
// back over the body.
#include "tags/open_tag_index.h"

namespace bw {

namespace {

bool isBlank(char byte) { return byte == '\t' || byte == '\n' || byte == '\r' || byte == ' '; }
bool endsInner(char byte) { return isBlank(byte) || byte == '>'; }

// 64-bit FNV-1a over the kind and the folded bytes; a collision only costs
// an extra comparison, never a wrong pair.
uint64_t keySeed(uint8_t kind) { return 0xcbf29ce484222325ull ^ kind; }
uint64_t keyStep(uint64_t hash, char byte) {
  return (hash ^ kLowerCaseTable[static_cast<unsigned char>(byte)]) * 0x100000001b3ull;
}

// Whether the opening tag's text starts with "<" + the end tag's text without
// its "</" and final ">", ignoring case, and the byte after that prefix is a
// blank or ">".  Compared in place, so an end tag costs no allocation.
bool opensEndTag(const TokenText& opening, const TokenText& endTag) {
  const uint32_t inner = endTag.length() < 3 ? 0 : endTag.length() - 3;
  const uint32_t prefix = inner + 1;
  if (opening.length() < prefix + 1) return false;  // the byte after the prefix must exist
  const unsigned char* open = reinterpret_cast<const unsigned char*>(opening.data());
  const unsigned char* end = reinterpret_cast<const unsigned char*>(endTag.data());
  if (open[0] != '<') return false;
  for (uint32_t i = 0; i < inner; ++i) {
    if (kLowerCaseTable[open[1 + i]] != kLowerCaseTable[end[2 + i]]) return false;
  }
  return endsInner(static_cast<char>(open[prefix]));
}

}  // namespace

OpenTagIndex::OpenTagIndex() = default;
OpenTagIndex::~OpenTagIndex() = default;

void OpenTagIndex::addOpeningTag(BodyToken* opening) {
  const uint32_t owner = reachable_.size();
  reachable_.push(Reachable{opening, links_.size()});
  if (chained_) {
    chain(owner);
  } else if (reachable_.size() > kChainedFrom) {
    chained_ = true;
    for (uint32_t older = 0; older <= owner; ++older) {
      reachable_[older].firstLink = links_.size();
      chain(older);
    }
  }
}

void OpenTagIndex::chain(uint32_t owner) {
  // One link for each place an end tag's inner text could stop: before every
  // blank or ">" after the "<".
  const BodyToken* opening = reachable_[owner].token;
  const TokenText& text = opening->text;
  const char* bytes = text.data();
  uint64_t key = keySeed(opening->kind);
  for (uint32_t i = 1, n = text.length(); i < n; ++i) {
    if (endsInner(bytes[i])) {
      links_.push(Link{key, newest_.get(key), owner});
      newest_.set(key, links_.size());
    }
    key = keyStep(key, bytes[i]);
  }
}

BodyToken* OpenTagIndex::takeOpeningTagFor(const BodyToken& endTag) {
  const uint8_t wanted = endTag.kind == kQelEndTagToken ? kQelTagToken : kTagToken;
  const TokenText& text = endTag.text;
  if (!chained_) {
    for (uint32_t owner = reachable_.size(); owner-- > 0;) {
      BodyToken* candidate = reachable_[owner].token;
      if (candidate->kind != wanted) continue;
      ++candidatesCompared_;
      if (opensEndTag(candidate->text, text)) {
        reachable_.shrinkTo(owner);
        return candidate;
      }
    }
    return nullptr;
  }
  const char* bytes = text.data();
  uint64_t key = keySeed(wanted);
  for (uint32_t i = 2; i + 1 < text.length(); ++i) key = keyStep(key, bytes[i]);
  for (uint32_t link = newest_.get(key); link != 0; link = links_[link - 1].below) {
    const uint32_t owner = links_[link - 1].owner;
    BodyToken* candidate = reachable_[owner].token;
    ++candidatesCompared_;
    if (candidate->kind == wanted && opensEndTag(candidate->text, text)) {
      popThrough(owner);
      return candidate;
    }
  }
  return nullptr;
}

void OpenTagIndex::popThrough(uint32_t owner) {
  // Everything above the opening tag on the stack is newer than it, and its
  // own links are newer than those below, so each link unchained, newest
  // first, is the front of its chain.
  const uint32_t firstLink = reachable_[owner].firstLink;
  for (uint32_t link = links_.size(); link > firstLink; --link) {
    const Link& gone = links_[link - 1];
    newest_.set(gone.key, gone.below);  // 0: the key has no older link left
  }
  links_.shrinkTo(firstLink);
  reachable_.shrinkTo(owner);
}

}  // namespace bw
