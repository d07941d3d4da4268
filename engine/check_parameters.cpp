// The parameter checks, read off the vocabulary's rows.
#include "engine/check_parameters.h"

#include "engine/nearest_word.h"
#include "engine/text_util.h"

namespace bw {
namespace {

enum class Truth { Yes, No, Unknown };

// The value a condition looks at: as given, else the default; null when
// neither exists.
bool effectiveValue(const CheckedTag& tag, const char* name, std::string_view& value) {
  if (const std::string_view* given = tag.parameters->find(name)) {
    value = *given;
    return true;
  }
  const ParameterSpec* spec = tag.spec->findParameter(name);
  if (spec == nullptr || spec->defaultValue == nullptr) return false;
  value = spec->defaultValue;
  return true;
}

Truth holds(const Condition& condition, const CheckedTag& tag) {
  if (condition.parameter == nullptr) return Truth::Yes;
  if (condition.keywords.empty())
    return tag.parameters->find(condition.parameter) != nullptr ? Truth::Yes : Truth::No;
  std::string_view value;
  if (!effectiveValue(tag, condition.parameter, value)) return condition.unless ? Truth::Yes : Truth::No;
  if (isDynamic(value)) return Truth::Unknown;
  // A keyword outside its list is reported on its own; what depends on it is
  // left alone rather than reported twice.
  const ParameterSpec* controlling = tag.spec->findParameter(condition.parameter);
  if (controlling != nullptr && controlling->keywords != nullptr && !controlling->keywords->words.contains(value))
    return Truth::Unknown;
  return condition.keywords.contains(value) != condition.unless ? Truth::Yes : Truth::No;
}

// " in mode "replace"", " with relationship "isEmpty"", " when "first" is
// given": where a condition stands, in the words of a message.
std::string where(const Condition& condition, const CheckedTag& tag, bool holdsThere) {
  if (condition.keywords.empty())
    return std::string(holdsThere ? " when \"" : " without \"") + condition.parameter +
           (holdsThere ? "\" is given" : "\"");
  std::string_view value;
  effectiveValue(tag, condition.parameter, value);
  if (std::string_view(condition.parameter) == "mode") return " in mode " + quoted(value);
  return std::string(" with ") + condition.parameter + " " + quoted(value);
}

std::string tagName(const CheckedTag& tag) { return "<" + std::string(tag.spelledName) + ">"; }

size_t offsetOf(const CheckedTag& tag, std::string_view view) {
  // Values rewritten elsewhere would not be views of the page; the tag's own
  // place is the fallback.
  const char* begin = tag.page.data();
  if (view.data() >= begin && view.data() <= begin + tag.page.size()) return static_cast<size_t>(view.data() - begin);
  return tag.offset;
}

std::string trimBlanks(std::string_view text) {
  size_t first = 0, last = text.size();
  while (first < last && (text[first] == ' ' || text[first] == '\t' || text[first] == '\r' || text[first] == '\n')) ++first;
  while (last > first && (text[last - 1] == ' ' || text[last - 1] == '\t' || text[last - 1] == '\r' || text[last - 1] == '\n')) --last;
  return std::string(text.substr(first, last - first));
}

bool isWholeNumber(std::string_view text, long& value) {
  std::string t = trimBlanks(text);
  size_t i = (!t.empty() && (t[0] == '-' || t[0] == '+')) ? 1 : 0;
  if (i == t.size() || t.size() - i > 9) return false;
  long v = 0;
  for (size_t k = i; k < t.size(); ++k) {
    if (t[k] < '0' || t[k] > '9') return false;
    v = v * 10 + (t[k] - '0');
  }
  value = t[0] == '-' ? -v : v;
  return true;
}

bool isDecimalNumber(std::string_view text) {
  std::string t = trimBlanks(text);
  size_t i = (!t.empty() && (t[0] == '-' || t[0] == '+')) ? 1 : 0;
  size_t digits = 0, points = 0;
  for (; i < t.size(); ++i) {
    if (t[i] >= '0' && t[i] <= '9')
      ++digits;
    else if (t[i] == '.')
      ++points;
    else
      return false;
  }
  return digits > 0 && points <= 1;
}

std::vector<const char*> namesOf(const std::vector<const ParameterSpec*>& specs) {
  std::vector<const char*> names;
  for (const ParameterSpec* spec : specs) names.push_back(spec->name);
  return names;
}

std::string suggestion(std::string_view word, const std::vector<const char*>& candidates) {
  const char* near = nearestWord(word, candidates);
  return near != nullptr ? std::string("; did you mean \"") + near + "\"?" : std::string();
}

void checkValue(const CheckedTag& tag, const ParameterSpec& spec, const TagParameter& given, CheckReport& report,
                const PatternJudge& judge) {
  const std::string_view value = given.value;
  if (isDynamic(value)) return;
  const size_t at = offsetOf(tag, given.name);
  switch (spec.kind) {
    case ValueKind::Text:
      return;
    case ValueKind::Keyword: {
      if (spec.keywords->words.contains(value)) return;
      std::vector<const char*> words(spec.keywords->words.begin(), spec.keywords->words.end());
      const char* noun = spec.keywords->noun;
      const bool vowel = std::string_view("aeiou").find(noun[0]) != std::string_view::npos;
      report.error(at, quoted(value) + " is not " + (vowel ? "an " : "a ") + noun + " of " + tagName(tag) +
                           suggestion(value, words));
      return;
    }
    case ValueKind::Boolean:
      if (!kBooleanWords.words.contains(value))
        report.warning(at, "\"" + std::string(spec.name) + "\" is " + quoted(value) +
                               ", which is read as false; write \"true\" or \"false\"");
      return;
    case ValueKind::Integer: {
      long number = 0;
      if (!isWholeNumber(value, number) || number < spec.minimum || number > spec.maximum)
        report.error(at, "\"" + std::string(spec.name) + "\" must be a whole number from " +
                             std::to_string(spec.minimum) + " to " + std::to_string(spec.maximum) + ", not " +
                             quoted(value));
      return;
    }
    case ValueKind::Decimal:
      if (!isDecimalNumber(value))
        report.warning(at, "\"" + std::string(spec.name) + "\" is " + quoted(value) +
                               ", which is not a number; the tag reads it as no value");
      return;
    case ValueKind::Pattern: {
      std::string reason;
      if (judge && holds(spec.usedWhen, tag) == Truth::Yes && !judge(value, reason))
        report.error(at, "the pattern " + quoted(value) + " is rejected" + (reason.empty() ? "" : ": " + reason));
      return;
    }
  }
}

}  // namespace

void checkParameters(const CheckedTag& tag, CheckReport& report, const PatternJudge& judge) {
  const std::vector<const ParameterSpec*> specs = tag.spec->allParameters();
  const std::vector<const char*> names = namesOf(specs);
  for (size_t i = 0; i < tag.parameters->size(); ++i) {
    const TagParameter& given = (*tag.parameters)[i];
    const size_t at = offsetOf(tag, given.name);
    const ParameterSpec* spec = tag.spec->findParameter(given.name);
    if (spec == nullptr) {
      report.error(at, tagName(tag) + " has no parameter " + quoted(given.name) + suggestion(given.name, names));
      continue;
    }
    // Only the first of a repeated parameter is read, unless it repeats by design.
    if (tag.parameters->find(given.name) != &given.value) {
      if (!spec->repeatable)
        report.warning(at, "\"" + std::string(spec->name) + "\" is given again; " + tagName(tag) +
                               " reads only the first");
      continue;
    }
    if (holds(spec->usedWhen, tag) == Truth::No) {
      report.warning(at, "\"" + std::string(spec->name) + "\" has no effect" + where(spec->usedWhen, tag, false));
      continue;
    }
    checkValue(tag, *spec, given, report, judge);
  }
  for (const ParameterSpec* spec : specs) {
    if (!spec->required || tag.parameters->find(spec->name) != nullptr) continue;
    if (holds(spec->requiredWhen, tag) != Truth::Yes) continue;
    std::string condition = spec->requiredWhen.parameter != nullptr ? where(spec->requiredWhen, tag, true) : "";
    report.error(tag.offset, tagName(tag) + condition + " needs the \"" + spec->name + "\" parameter");
  }
  if (!tag.spec->needsOneOf.empty()) {
    bool any = false;
    std::string list;
    for (size_t i = 0; i < tag.spec->needsOneOf.count; ++i) {
      const char* name = tag.spec->needsOneOf.words[i];
      any = any || tag.parameters->find(name) != nullptr;
      if (i != 0) list += i + 1 == tag.spec->needsOneOf.count ? " or " : ", ";
      list += std::string("\"") + name + "\"";
    }
    if (!any) report.error(tag.offset, tagName(tag) + " needs " + list + " (the module says: \"" +
                                           tag.spec->needsOneOfMessage + "\")");
  }
}

}  // namespace bw
