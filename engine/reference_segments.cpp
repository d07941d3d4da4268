// Cutting a text at its references, and putting it back together with the
// values of the moment.
#include "engine/reference_segments.h"

#include "engine/text_util.h"

namespace bw {

bool cutReferences(std::string_view text, std::vector<TextSegment>& segments) {
  size_t literalStart = 0;
  auto endLiteral = [&](size_t upTo) {
    if (upTo <= literalStart) return;
    TextSegment literal;
    literal.at = literalStart;
    literal.text = text.substr(literalStart, upTo - literalStart);
    segments.push_back(literal);
  };
  bool cut = false;
  // Every "$" is tried, and one that starts nothing is a byte of the literal
  // around it, as when the text is expanded.
  for (size_t dollar = findByte(text, 0, '$'); dollar != std::string_view::npos;) {
    const ReferenceAt ref = readReferenceAt(text, dollar);
    if (ref.kind == ReferenceAt::Kind::None) {
      dollar = findByte(text, dollar + 1, '$');
      continue;
    }
    endLiteral(dollar);
    TextSegment segment;
    segment.at = dollar;
    segment.raw = ref.raw;
    switch (ref.kind) {
      case ReferenceAt::Kind::Escape:
        segment.kind = TextSegment::Kind::Escape;
        segment.text = text.substr(dollar + 1, 2);  // the "${" of "$${"
        break;
      case ReferenceAt::Kind::Variable:
        segment.kind = TextSegment::Kind::Variable;
        segment.text = ref.name;
        break;
      default:
        segment.kind = TextSegment::Kind::RequestField;
        segment.text = ref.name;
        break;
    }
    segments.push_back(segment);
    cut = true;
    literalStart = dollar + ref.length;
    dollar = findByte(text, literalStart, '$');
  }
  endLiteral(text.size());
  return cut;
}

}  // namespace bw
