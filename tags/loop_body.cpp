// Expansion of a loop body for one index value, piece by piece.
#include "tags/loop_body.h"


namespace bw {

namespace {
constexpr const char* kEntityTemplate = "&qelLoopIndex|__indexName__|;";
constexpr const char* kIndexNamePlaceholder = "|__indexName__|";
}  // namespace

QelString loopIndexEntity(const QelString& indexName) {
  QelString entity(kEntityTemplate);
  entity.replaceAll(kIndexNamePlaceholder, indexName, IgnoreCase);
  return entity;
}

LoopBody::LoopBody(const QelString& body) : TagBody(body, true) {}
LoopBody::~LoopBody() = default;

void LoopBody::expand(const QelString& indexValue, const QelString& entity, QelString& out) const {
  for (const BodyToken* piece = head; piece != nullptr; piece = piece->next) {
    QelString copy(piece->text);
    copy.replaceAll(entity, indexValue, IgnoreCase | Rescan);
    out.append(copy);
  }
}

}  // namespace bw
