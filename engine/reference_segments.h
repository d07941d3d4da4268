// A text's ${...} references cut out once, for a page rendered many times.
//
// Where the references of a text stand, and what each one names, depends on
// the text alone; only the values change from render to render (and within
// a render, as tags set variables).  So a compiled page keeps each text that
// holds a "$" as segments: bytes to copy as they stand, and references whose
// name is already cut out, the raw: and param. forms decided and "$${"
// turned into its "${".  Expanding the segments looks every value up by name
// at that moment, and gives exactly what expanding the text does
// (page_variables.h), malformed references included: those are bytes.
#ifndef BRINDLE_ENGINE_REFERENCE_SEGMENTS_H
#define BRINDLE_ENGINE_REFERENCE_SEGMENTS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/page_variables.h"

namespace bw {

struct TextSegment {
  enum class Kind : unsigned char {
    Literal,       // bytes of the text, copied as they stand
    Escape,        // "$${": its text is the "${" it stands for
    Variable,      // text is the variable's name
    RequestField,  // text is the field's name
  };
  Kind kind = Kind::Literal;
  bool raw = false;       // a reference written ${raw:...}
  size_t slot = 0;        // a reference: its name's place in ReferenceValues, given by its page
  size_t at = 0;          // where the segment starts in its text (a reference: its "$")
  std::string_view text;  // a view of the text cut

  bool isReference() const { return kind == Kind::Variable || kind == Kind::RequestField; }
};

// A run of segments in a list kept elsewhere (a compiled page keeps all of
// its segments in one list).
struct SegmentRange {
  size_t first = 0;
  size_t count = 0;
};

// Appends the segments of `text` to `segments`, and tells whether any of
// them is a reference or an escape: when none is, the text expands to
// itself and is left whole, as one literal.  The views are of `text`.
bool cutReferences(std::string_view text, std::vector<TextSegment>& segments);

// The value a reference segment names now, or null when it is absent.
inline const std::string* valueOf(const TextSegment& reference, const VariableScope& scope) {
  return reference.kind == TextSegment::Kind::Variable ? lookUpVariable(reference.text, scope)
                                                       : lookUpRequestField(reference.text, scope);
}

// The segments expanded exactly (no HTML escaping), appended to out, with
// valueNow(reference) giving each reference's value.
template <class Lookup>
void appendSegments(std::string& out, const TextSegment* segments, size_t count, Lookup valueNow) {
  for (const TextSegment* s = segments; s != segments + count; ++s) {
    if (!s->isReference()) {
      out.append(s->text.data(), s->text.size());
    } else if (const std::string* value = valueNow(*s)) {
      out.append(value->data(), value->size());
    }
  }
}

// Whether a reference segment brings in a value from outside the page.
inline bool comesFromOutside(const TextSegment& reference, const VariableScope& scope) {
  return comesFromOutside(reference.kind == TextSegment::Kind::Variable ? ReferenceAt::Kind::Variable
                                                                        : ReferenceAt::Kind::RequestField,
                          reference.raw, reference.text, scope);
}

// appendSegments, with the values from outside the page put as `insertion`
// says; tells what went in.
template <class Lookup>
OutsideText appendSegmentsMarked(std::string& out, const TextSegment* segments, size_t count, Lookup valueNow,
                                 const VariableScope& scope, Insertion insertion) {
  OutsideText seen = OutsideText::None;
  for (const TextSegment* s = segments; s != segments + count; ++s) {
    if (!s->isReference()) {
      out.append(s->text.data(), s->text.size());
      continue;
    }
    const std::string* value = valueNow(*s);
    if (value != nullptr && !value->empty())
      addTo(seen, insertValue(out, *value, comesFromOutside(*s, scope), insertion));
  }
  return seen;
}

inline void appendSegmentsExactly(std::string& out, const TextSegment* segments, size_t count,
                                  const VariableScope& scope) {
  appendSegments(out, segments, count, [&scope](const TextSegment& s) { return valueOf(s, scope); });
}

// The values of a compiled page's references during one render, each name
// looked up once rather than at every reference to it.  A request field
// stays as it was found; so does a variable once found, as tags set
// variables during a page but never remove them, and the map keeps a node
// where it is.  A variable not found is looked for again once the map has
// grown, since only a new name can be the one missing.
class ReferenceValues {
 public:
  // For a render in scope of a page whose references use `slots` slots.
  void reset(const VariableScope& scope, size_t slots) {
    scope_ = &scope;
    slots_.assign(slots, Slot{});
  }

  const std::string* valueOf(const TextSegment& reference) {
    Slot& slot = slots_[reference.slot];
    const size_t now = scope_->variables == nullptr ? 1 : scope_->variables->size() + 1;
    if (slot.lookedUpAt == kForGood || slot.lookedUpAt == now) return slot.value;
    slot.value = bw::valueOf(reference, *scope_);
    slot.lookedUpAt = slot.value != nullptr || reference.kind == TextSegment::Kind::RequestField ? kForGood : now;
    return slot.value;
  }

 private:
  static constexpr size_t kForGood = SIZE_MAX;
  struct Slot {
    const std::string* value = nullptr;
    size_t lookedUpAt = 0;  // the variables' count + 1 when looked up, kForGood, or 0: never
  };
  const VariableScope* scope_ = nullptr;
  std::vector<Slot> slots_;
};

}  // namespace bw

#endif
