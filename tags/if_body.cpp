// Branch selection of qelIf over the scanned body.  The walk jumps from each
// nested qel block's opening tag to its end tag, so it is one pass however
// deep the nesting.
#include "tags/if_body.h"

#include "foundation/name_key.h"

namespace bw {

namespace {
constexpr const char* kElseMarker = "<qelElse>";
constexpr uint32_t kElseMarkerLength = 9;
constexpr const char* kTrimSet = " \t\r\n";
}  // namespace

IfBody::IfBody(const QelString& body) : TagBody(body, false) {}
IfBody::IfBody(TokenText bytes) : TagBody(bytes, false) {}
IfBody::~IfBody() = default;

const BodyToken* IfBody::elseMarker() const {
  for (const BodyToken* token = head; token != nullptr; token = token->next) {
    if (token->kind == kQelTagToken && token->text.length() == kElseMarkerLength &&
        sameNameIgnoringCase(token->text.data(), kElseMarker, kElseMarkerLength)) {
      return token;
    }
    if (token->kind == kPairedQelTagToken && token->partner != nullptr) token = token->partner;
  }
  return nullptr;
}

QelString IfBody::select(bool condition) const {
  const BodyToken* marker = elseMarker();
  const BodyToken* first = nullptr;
  const BodyToken* last = nullptr;
  if (marker == nullptr) {
    if (condition) {
      first = head;
      last = tail;
    }
  } else if (condition) {
    if (marker != head) {
      first = head;
      last = marker->prev;
    }
  } else if (marker != tail) {
    first = marker->next;
    last = tail;
  }
  QelString result;
  if (first != nullptr) {
    const TokenText chosen = joinedView(first, last);
    result.assign(chosen.data(), chosen.length());
  }
  result.trim(kTrimSet);
  return result;
}

}  // namespace bw
