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

uint32_t LoopBody::entityCount(const QelString& entity) const {
  uint32_t count = 0;
  if (entity.isEmpty()) return 0;
  for (const BodyToken* piece = head; piece != nullptr; piece = piece->next) {
    uint32_t at = 0;
    uint32_t found = 0;
    while (piece->text.find(entity, at, kToEnd, IgnoreCase, found)) {
      ++count;
      at = found + entity.length();
    }
  }
  return count;
}

}  // namespace bw
