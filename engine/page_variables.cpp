// Expanding ${...} references.
#include "engine/page_variables.h"

#include <algorithm>

#include "engine/text_util.h"

namespace bw {
namespace {

bool isReferenceChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '.' || c == ':' || c == '-';
}

constexpr std::string_view kRawPrefix = "raw:";
constexpr std::string_view kParamPrefix = "param.";

const std::string* lookUp(std::string_view name, const VariableScope& scope) {
  if (startsWithIgnoringCase(name, kParamPrefix)) {
    if (scope.requestFields == nullptr) return nullptr;
    return findNamed(*scope.requestFields, name.substr(kParamPrefix.size()));
  }
  if (scope.variables == nullptr) return nullptr;
  auto it = scope.variables->find(std::string(name));
  return it == scope.variables->end() ? nullptr : &it->second;
}

}  // namespace

size_t expandReferenceAt(std::string_view text, size_t pos, const VariableScope& scope,
                         Escaping escaping, std::string& out) {
  if (text.compare(pos, 3, "$${") == 0) {
    out += "${";
    return 3;
  }
  if (text.compare(pos, 2, "${") != 0) return 0;
  size_t i = pos + 2;
  size_t limit = std::min(text.size(), i + kLongestVariableReference);
  while (i < limit && isReferenceChar(text[i])) ++i;
  if (i >= limit || text[i] != '}' || i == pos + 2) return 0;
  std::string_view name = text.substr(pos + 2, i - pos - 2);
  if (name.substr(0, kRawPrefix.size()) == kRawPrefix) {
    name.remove_prefix(kRawPrefix.size());
    escaping = Escaping::Exact;
  }
  if (const std::string* value = lookUp(name, scope)) {
    if (escaping == Escaping::Html)
      appendHtmlEscaped(out, *value);
    else
      out += *value;
  }
  return i + 1 - pos;
}

std::string expandExact(std::string_view text, const VariableScope& scope) {
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    size_t dollar = text.find('$', i);
    if (dollar == std::string_view::npos) break;
    out.append(text.data() + i, dollar - i);
    size_t used = expandReferenceAt(text, dollar, scope, Escaping::Exact, out);
    if (used == 0) {
      out += '$';
      used = 1;
    }
    i = dollar + used;
  }
  out.append(text.data() + i, text.size() - i);
  return out;
}

}  // namespace bw
