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

LoopEntity::LoopEntity(const QelString& indexName)
    : text_(loopIndexEntity(indexName)),
      searcher_(reinterpret_cast<const unsigned char*>(text_.data()), text_.length(), true,
                detail::Searcher::Forward) {}

LoopBody::LoopBody(const QelString& body) : TagBody(body, true) {}
LoopBody::~LoopBody() = default;

namespace {

const unsigned char* bytesOf(const TokenText& text) {
  return reinterpret_cast<const unsigned char*>(text.data());
}

}  // namespace

void LoopBody::expand(const char* indexValue, uint32_t count, const LoopEntity& entity,
                      QelString& out) const {
  // A piece without the entity goes to the output as it stands in the body;
  // one with it is copied with its replacements straight into the output.
  const detail::Searcher& searcher = entity.searcher();
  for (const BodyToken* piece = head; piece != nullptr; piece = piece->next) {
    uint32_t found = 0;
    if (entity.text().isEmpty() ||
        !searcher.forward(bytesOf(piece->text), 0, piece->text.length(), found)) {
      out.append(piece->text.data(), piece->text.length());
      continue;
    }
    detail::appendReplacing(out, bytesOf(piece->text), piece->text.length(), searcher, found,
                            reinterpret_cast<const unsigned char*>(indexValue), count, true);
  }
}

uint32_t LoopBody::entityCount(const LoopEntity& entity) const {
  uint32_t count = 0;
  if (entity.text().isEmpty()) return 0;
  const detail::Searcher& searcher = entity.searcher();
  for (const BodyToken* piece = head; piece != nullptr; piece = piece->next) {
    uint32_t at = 0;
    uint32_t found = 0;
    while (searcher.forward(bytesOf(piece->text), at, piece->text.length(), found)) {
      ++count;
      at = found + entity.text().length();
    }
  }
  return count;
}

}  // namespace bw
