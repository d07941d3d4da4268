// The reachable-opening-tag index of the scanner; see open_tag_index.h for
// why a stack plus per-name chains gives the same pairs as walking back.
#include "tags/open_tag_index.h"

namespace bw {

namespace {

bool isBlank(char byte) { return byte == '\t' || byte == '\n' || byte == '\r' || byte == ' '; }

// Whether the opening tag's text starts with "<" + the end tag's text without
// its "</" and final ">", ignoring case, and the byte after that prefix is a
// blank or ">".  Compared in place, so an end tag costs no allocation.
bool opensEndTag(const QelString& opening, const QelString& endTag) {
  const uint32_t inner = endTag.length() < 3 ? 0 : endTag.length() - 3;
  const uint32_t prefix = inner + 1;
  if (opening.length() < prefix + 1) return false;  // the byte after the prefix must exist
  const unsigned char* open = reinterpret_cast<const unsigned char*>(opening.cString());
  const unsigned char* end = reinterpret_cast<const unsigned char*>(endTag.cString());
  if (open[0] != '<') return false;
  for (uint32_t i = 0; i < inner; ++i) {
    if (kLowerCaseTable[open[1 + i]] != kLowerCaseTable[end[2 + i]]) return false;
  }
  const char after = static_cast<char>(open[prefix]);
  return isBlank(after) || after == '>';
}

}  // namespace

OpenTagIndex::OpenTagIndex() = default;
OpenTagIndex::~OpenTagIndex() = default;

uint64_t OpenTagIndex::nameKey(const char* bytes, uint32_t count, uint8_t kind) {
  // 64-bit FNV-1a over the folded name; a collision only costs a few extra
  // candidate checks, never a wrong pair.
  uint64_t hash = 0xcbf29ce484222325ull ^ kind;
  for (uint32_t i = 0; i < count; ++i) {
    const char byte = bytes[i];
    if (isBlank(byte) || byte == '>') break;
    hash ^= kLowerCaseTable[static_cast<unsigned char>(byte)];
    hash *= 0x100000001b3ull;
  }
  return hash;
}

uint64_t OpenTagIndex::keyOf(const BodyToken& opening) {
  const QelString& text = opening.text;
  return nameKey(text.cString() + 1, text.length() - 1, opening.kind);
}

void OpenTagIndex::addOpeningTag(BodyToken* opening) {
  BodyToken*& newest = newestByName_[keyOf(*opening)];
  opening->sameNameBelow_ = newest;
  newest = opening;
  reachable_.appendPointer(opening);
}

BodyToken* OpenTagIndex::takeOpeningTagFor(const BodyToken& endTag) {
  const uint8_t wanted = endTag.kind == kQelEndTagToken ? kQelTagToken : kTagToken;
  const QelString& text = endTag.text;
  const uint32_t innerCount = text.length() < 3 ? 0 : text.length() - 3;
  const auto found = newestByName_.find(nameKey(text.cString() + 2, innerCount, wanted));
  if (found == newestByName_.end()) return nullptr;
  for (BodyToken* candidate = found->second; candidate != nullptr;
       candidate = candidate->sameNameBelow_) {
    if (candidate->kind == wanted && opensEndTag(candidate->text, text)) {
      popThrough(candidate);
      return candidate;
    }
  }
  return nullptr;
}

void OpenTagIndex::popThrough(BodyToken* opening) {
  // Everything above the opening tag on the stack is newer than it, so each
  // popped tag is the newest of its own name and unchains from the front.
  while (reachable_.count() > 0) {
    const uint32_t top = reachable_.count() - 1;
    BodyToken* popped = static_cast<BodyToken*>(reachable_.pointerAt(top));
    reachable_.setCount(top);
    // Its kind is still the one it was indexed under: the paired flag comes
    // only after the pop.
    newestByName_[keyOf(*popped)] = popped->sameNameBelow_;
    popped->sameNameBelow_ = nullptr;
    if (popped == opening) return;
  }
}

}  // namespace bw
