// What the page language knows, as data: every tag of the module (and the two
// markers that live only inside a body, qelCase and qelElse), the parameters
// each tag reads, whether a page must give them, what becomes of their values,
// and the keyword lists the tags compare against.
//
// The engine's checker, the escaping rules for values from outside the page
// and the guide's test all read this one table, so that a parameter added to
// the module is added here once and every one of them learns of it.  The
// table describes the module as it stands; nothing here is consulted while a
// page renders through the module itself.
#ifndef BRINDLE_ENGINE_TAG_VOCABULARY_H
#define BRINDLE_ENGINE_TAG_VOCABULARY_H

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace bw {

// A fixed list of words, compared without regard to ASCII case.
struct WordList {
  const char* const* words = nullptr;
  size_t count = 0;
  const char* const* begin() const { return words; }
  const char* const* end() const { return words + count; }
  bool empty() const { return count == 0; }
  bool contains(std::string_view word) const;  // ASCII case ignored
};

// A keyword list with the noun a message uses for one of its words
// ("mode", "relationship").
struct KeywordList {
  const char* noun;
  WordList words;
};

extern const KeywordList kStringModes;     // the 22 modes of qelString and qelInlineString
extern const KeywordList kRelationships;   // the 14 relationship keywords and their 6 symbols
extern const KeywordList kOrders;          // "alphabetical", "numerical"
extern const KeywordList kBooleanWords;    // the words read as true, then the usual words for false
extern const WordList kTrueWords;          // "true", "t", "yes", "y", "on", "1"

// What becomes of a parameter's value.
enum class ParameterRole {
  Data,    // read by the tag to decide or compute; never written into the answer
  Copied,  // may reach the tag's answer as it stands
};

// How the tag reads the value.
enum class ValueKind {
  Text,
  Keyword,  // one of `keywords`; any other value is accepted and ignored
  Boolean,  // true for kTrueWords, false for anything else
  Decimal,  // a decimal number; a value that is none has no value
  Integer,  // a whole number in [minimum, maximum]
  Pattern,  // a regular expression of the module's dialect
};

// When a parameter is needed, or has an effect: always (no `parameter`),
// when `parameter` is present (no `keywords`), or when `parameter`'s value,
// or its default when absent, is (or with `unless`, is not) one of `keywords`.
struct Condition {
  const char* parameter = nullptr;
  WordList keywords;
  bool unless = false;
};

struct ParameterSpec {
  const char* name;
  bool required;
  ParameterRole role;
  ValueKind kind;
  const char* defaultValue;  // as the module takes it when absent; null for none
  Condition requiredWhen;    // with `required`: the condition under which it is
  Condition usedWhen;        // when the tag reads it at all
  const KeywordList* keywords = nullptr;  // for ValueKind::Keyword
  int minimum = 0, maximum = 0;           // for ValueKind::Integer
  bool repeatable = false;                // every occurrence counts
};

// How a tag treats its body.
enum class BodyKind {
  None,   // stands alone
  Data,   // tags in it run first; the tag reads the resulting text
  Raw,    // handed over as written; the answer is processed as page text
};

// What becomes of the body.
enum class BodyRole {
  None,    // no body, or thrown away (qelComment)
  Data,    // computed on (qelMath)
  Copied,  // transformed and answered (qelString)
  Page,    // parts of it are answered and processed as page text
};

struct ParameterList {
  const ParameterSpec* items = nullptr;
  size_t count = 0;
  const ParameterSpec* begin() const { return items; }
  const ParameterSpec* end() const { return items + count; }
};

struct TagSpec {
  const char* name;
  uint32_t registrationFlags;  // as the module registers it; 0 for the markers
  BodyKind body;
  BodyRole bodyRole;
  ParameterList parameters;
  ParameterList sharedParameters;  // a second list that two tags share
  const char* within = nullptr;    // markers: the tag whose body holds them
  WordList needsOneOf{};           // at least one of these parameters must be given
  const char* needsOneOfMessage = nullptr;  // the module's words when none is

  bool isModuleTag() const { return within == nullptr; }
  // Its own parameters, then the shared ones.
  std::vector<const ParameterSpec*> allParameters() const;
  const ParameterSpec* findParameter(std::string_view name) const;  // ASCII case ignored
};

// Every tag and marker, module tags first in the module's order.
const std::vector<const TagSpec*>& allTagSpecs();
// The tag or marker of that name, ASCII case ignored; null for any other.
const TagSpec* findTagSpec(std::string_view name);
// The role of a tag's parameter; Data for names the tag does not know.
ParameterRole parameterRole(std::string_view tagName, std::string_view parameterName);

// The entity a loop replaces in each copy: kLoopIndexEntity + indexName + ";".
constexpr std::string_view kLoopIndexEntity = "&qelLoopIndex";
// The marker that separates qelIf's branches.
constexpr std::string_view kElseMarker = "<qelElse>";

}  // namespace bw

#endif
