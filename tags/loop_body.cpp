// Expansion of a loop body for one index value, piece by piece.
#include "tags/loop_body.h"

#include "foundation/string_search.h"

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

namespace {

detail::Searcher entitySearcher(const QelString& entity) {
  return detail::Searcher(reinterpret_cast<const unsigned char*>(entity.data()), entity.length(),
                          true, detail::Searcher::Forward);
}

const unsigned char* bytesOf(const TokenText& text) {
  return reinterpret_cast<const unsigned char*>(text.data());
}

}  // namespace

void LoopBody::expand(const QelString& indexValue, const QelString& entity, QelString& out) const {
  // Only a piece that holds the entity is copied to have it replaced; the
  // others go to the output as they stand in the body.
  const detail::Searcher searcher = entitySearcher(entity);
  for (const BodyToken* piece = head; piece != nullptr; piece = piece->next) {
    uint32_t found = 0;
    if (entity.isEmpty() || !searcher.forward(bytesOf(piece->text), 0, piece->text.length(), found)) {
      out.append(piece->text.data(), piece->text.length());
      continue;
    }
    QelString copy(piece->text.data(), piece->text.length());
    copy.replaceAll(entity, indexValue, IgnoreCase | Rescan);
    out.append(copy);
  }
}

uint32_t LoopBody::entityCount(const QelString& entity) const {
  uint32_t count = 0;
  if (entity.isEmpty()) return 0;
  const detail::Searcher searcher = entitySearcher(entity);
  for (const BodyToken* piece = head; piece != nullptr; piece = piece->next) {
    uint32_t at = 0;
    uint32_t found = 0;
    while (searcher.forward(bytesOf(piece->text), at, piece->text.length(), found)) {
      ++count;
      at = found + entity.length();
    }
  }
  return count;
}

}  // namespace bw
