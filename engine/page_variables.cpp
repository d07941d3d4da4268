// Expanding ${...} references.
#include "engine/page_variables.h"

#include <algorithm>

#include "engine/text_util.h"

namespace bw {
namespace {

constexpr std::string_view kRawPrefix = "raw:";
constexpr std::string_view kParamPrefix = "param.";

// The readings and lookups below are also the text walk's, at every "$" of
// a page; inlined there, as a call costs a good part of what they do.
[[gnu::always_inline]] inline const std::string* variableNamed(std::string_view name,
                                                               const VariableScope& scope) {
  if (scope.variables == nullptr) return nullptr;
  if (scope.index != nullptr) return scope.index->find(*scope.variables, name);
  auto it = scope.variables->find(std::string(name));
  return it == scope.variables->end() ? nullptr : &it->second;
}

[[gnu::always_inline]] inline const std::string* fieldNamed(std::string_view name, const VariableScope& scope) {
  return scope.requestFields == nullptr ? nullptr : findNamed(*scope.requestFields, name);
}

[[gnu::always_inline]] inline ReferenceAt readReference(std::string_view text, size_t pos) {
  // Tested byte by byte: a reference is a few bytes long, and a call of a
  // string comparison costs more than the whole test.
  ReferenceAt ref;
  const size_t n = text.size();
  if (pos + 1 >= n || text[pos] != '$') return ref;
  if (text[pos + 1] == '$' && pos + 2 < n && text[pos + 2] == '{') {
    ref.kind = ReferenceAt::Kind::Escape;
    ref.length = 3;
    return ref;
  }
  if (text[pos + 1] != '{') return ref;
  size_t i = pos + 2;
  size_t limit = std::min(n, i + kLongestVariableReference);
  while (i < limit && isNameByte(text[i])) ++i;
  if (i >= limit || text[i] != '}' || i == pos + 2) return ref;
  std::string_view name = text.substr(pos + 2, i - pos - 2);
  if (name.size() >= kRawPrefix.size() && sameBytes(name.data(), kRawPrefix.data(), kRawPrefix.size())) {
    name.remove_prefix(kRawPrefix.size());
    ref.raw = true;
  }
  ref.kind = ReferenceAt::Kind::Variable;
  if (startsWithIgnoringCase(name, kParamPrefix)) {
    name.remove_prefix(kParamPrefix.size());
    ref.kind = ReferenceAt::Kind::RequestField;
  }
  ref.name = name;
  ref.length = i + 1 - pos;
  return ref;
}

}  // namespace

const std::string* lookUpVariable(std::string_view name, const VariableScope& scope) {
  return variableNamed(name, scope);
}

const std::string* lookUpRequestField(std::string_view name, const VariableScope& scope) {
  return fieldNamed(name, scope);
}

ReferenceAt readReferenceAt(std::string_view text, size_t pos) { return readReference(text, pos); }

bool comesFromOutside(ReferenceAt::Kind kind, bool raw, std::string_view name, const VariableScope& scope) {
  if (raw) return false;
  if (kind == ReferenceAt::Kind::RequestField) return true;
  if (kind != ReferenceAt::Kind::Variable) return false;
  const OutsideMarks* marks = scope.outsideVariables;
  return marks != nullptr && !marks->empty() && marks->find(name) != marks->end();
}

void appendForPage(std::string& out, std::string_view value) {
  size_t start = 0;
  for (size_t dollar = findByte(value, 0, '$'); dollar != std::string_view::npos;
       dollar = findByte(value, start, '$')) {
    appendHtmlEscaped(out, value.substr(start, dollar - start));
    out += "&#36;";
    start = dollar + 1;
  }
  appendHtmlEscaped(out, value.substr(start));
}

// Flattened, so that the text walk's lookups are inlined as they were
// before the reading was shared with compiled pages.
[[gnu::flatten]] size_t expandReferenceAt(std::string_view text, size_t pos, const VariableScope& scope,
                                          Escaping escaping, std::string& out, OutsideText* outside) {
  const ReferenceAt ref = readReference(text, pos);
  switch (ref.kind) {
    case ReferenceAt::Kind::None:
      return 0;
    case ReferenceAt::Kind::Escape:
      out.append("${", 2);
      return ref.length;
    case ReferenceAt::Kind::Variable:
    case ReferenceAt::Kind::RequestField:
      break;
  }
  const std::string* value =
      ref.kind == ReferenceAt::Kind::Variable ? variableNamed(ref.name, scope) : fieldNamed(ref.name, scope);
  if (value != nullptr) {
    if (escaping == Escaping::Html && !ref.raw)
      appendHtmlEscaped(out, *value);
    else
      out += *value;
    if (outside != nullptr && !value->empty() && comesFromOutside(ref.kind, ref.raw, ref.name, scope))
      *outside = OutsideText::Exact;
  }
  return ref.length;
}

OutsideText appendExpanded(std::string& out, std::string_view text, const VariableScope& scope,
                           Insertion insertion) {
  OutsideText seen = OutsideText::None;
  size_t i = 0;
  while (i < text.size()) {
    size_t dollar = findByte(text, i, '$');
    if (dollar == std::string_view::npos) break;
    if (dollar > i) out.append(text.data() + i, dollar - i);
    const ReferenceAt ref = readReference(text, dollar);
    const std::string* value = nullptr;
    if (ref.kind == ReferenceAt::Kind::Variable) value = variableNamed(ref.name, scope);
    if (ref.kind == ReferenceAt::Kind::RequestField) value = fieldNamed(ref.name, scope);
    if (ref.kind == ReferenceAt::Kind::None) {
      out += '$';
      i = dollar + 1;
      continue;
    }
    i = dollar + ref.length;
    if (ref.kind == ReferenceAt::Kind::Escape) {
      out.append("${", 2);
      continue;
    }
    if (value != nullptr && !value->empty())
      addTo(seen, insertValue(out, *value, comesFromOutside(ref.kind, ref.raw, ref.name, scope), insertion));
  }
  if (i < text.size()) out.append(text.data() + i, text.size() - i);
  return seen;
}

std::string expandExact(std::string_view text, const VariableScope& scope) {
  std::string out;
  appendExpandedExactly(out, text, scope);
  return out;
}

void appendExpandedExactly(std::string& out, std::string_view text, const VariableScope& scope) {
  appendExpanded(out, text, scope, Insertion::Exact);
}

void expandParameterValues(TagParameters& parameters, const VariableScope& scope) {
  parameters.rewriteValues([&scope](std::string_view value, std::string& into) {
    if (findByte(value, 0, '$') == std::string_view::npos) return false;
    appendExpandedExactly(into, value, scope);
    return true;
  });
}

}  // namespace bw
