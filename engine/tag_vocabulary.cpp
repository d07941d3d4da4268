// The page language's tags, parameters and keywords as constant tables.
//
// Each row says what the module does with a parameter: whether a tag stops
// without it (and under which mode or relationship), when it is read at all,
// how its text is converted and whether it can reach the answer.  The words
// are spelled as the module spells them.
#include "engine/tag_vocabulary.h"

#include <iterator>

#include "engine/text_util.h"

namespace bw {

bool WordList::contains(std::string_view word) const {
  for (const char* known : *this)
    if (equalsIgnoringCase(word, known)) return true;
  return false;
}

namespace {

#define BW_WORDS(array) WordList{array, std::size(array)}

constexpr const char* kModeWords[] = {
    "urlEncode", "urlDecode", "htmlEncode", "htmlDecode", "toUpper",   "toLower",
    "substring", "replace",   "insert",     "prepend",    "append",    "trimLeft",
    "trimRight", "trim",      "getLength",  "noOperation", "split",    "getWordCount",
    "getCharacterCount", "padLeft", "padRight", "regularExpression"};
constexpr const char* kRelationshipWords[] = {
    "equals",   "doesNotEqual",   "lessThan",         "lessThanOrEqualTo", "greaterThan",
    "greaterThanOrEqualTo", "contains", "doesNotContain", "beginsWith", "doesNotBeginWith",
    "endsWith", "doesNotEndWith", "isEmpty",          "isNotEmpty",
    "=", "<>", "<", "<=", ">", ">="};
constexpr const char* kOrderWords[] = {"alphabetical", "numerical"};
constexpr const char* kTrueWordArray[] = {"true", "t", "yes", "y", "on", "1"};
constexpr const char* kBooleanWordArray[] = {"true", "t", "yes", "y", "on", "1",
                                             "false", "f", "no", "n", "off", "0"};

}  // namespace

const KeywordList kStringModes{"mode", BW_WORDS(kModeWords)};
const KeywordList kRelationships{"relationship", BW_WORDS(kRelationshipWords)};
const KeywordList kOrders{"order", BW_WORDS(kOrderWords)};
const KeywordList kBooleanWords{"true or false value", BW_WORDS(kBooleanWordArray)};
const WordList kTrueWords = BW_WORDS(kTrueWordArray);

namespace {

using Role = ParameterRole;
using Kind = ValueKind;

// One row, built up as the tables below read.
struct Param {
  ParameterSpec spec{};
  constexpr Param(const char* name, Kind kind, Role role) {
    spec.name = name;
    spec.kind = kind;
    spec.role = role;
  }
  constexpr Param required(Condition when = {}) const {
    Param p = *this;
    p.spec.required = true;
    p.spec.requiredWhen = when;
    return p;
  }
  constexpr Param usedWhen(Condition when) const {
    Param p = *this;
    p.spec.usedWhen = when;
    return p;
  }
  constexpr Param byDefault(const char* value) const {
    Param p = *this;
    p.spec.defaultValue = value;
    return p;
  }
  constexpr Param keywords(const KeywordList& list) const {
    Param p = *this;
    p.spec.keywords = &list;
    return p;
  }
  constexpr Param range(int minimum, int maximum) const {
    Param p = *this;
    p.spec.minimum = minimum;
    p.spec.maximum = maximum;
    return p;
  }
  constexpr Param repeatable() const {
    Param p = *this;
    p.spec.repeatable = true;
    return p;
  }
};

constexpr Condition inMode(const WordList& modes) { return Condition{"mode", modes, false}; }

// Conditions tables share.
constexpr const char* kSubstring[] = {"substring"};
constexpr const char* kReplace[] = {"replace"};
constexpr const char* kInsert[] = {"insert"};
constexpr const char* kInsertOrSplit[] = {"insert", "split"};
constexpr const char* kPrepend[] = {"prepend"};
constexpr const char* kAppend[] = {"append"};
constexpr const char* kSplit[] = {"split"};
constexpr const char* kRegex[] = {"regularExpression"};
constexpr const char* kCaseModes[] = {"replace", "split", "getCharacterCount"};
constexpr const char* kBeginningModes[] = {"substring", "regularExpression"};
constexpr const char* kLengthModes[] = {"substring", "padLeft", "padRight"};
constexpr const char* kCharacterModes[] = {"getCharacterCount", "padLeft", "padRight"};
constexpr const char* kEmptinessTests[] = {"isEmpty", "isNotEmpty"};
constexpr const char* kLoopSources[] = {"first", "item", "itemList"};

const Condition kUnlessEmptinessTest{"relationship", BW_WORDS(kEmptinessTests), true};
const Condition kWithFirst{"first", {}, false};
const Condition kWithItemList{"itemList", {}, false};

const ParameterSpec kConditionParameters[] = {
    Param("lhs", Kind::Text, Role::Data).required().spec,
    Param("relationship", Kind::Keyword, Role::Data).required().keywords(kRelationships).spec,
    Param("rhs", Kind::Text, Role::Data).required(kUnlessEmptinessTest).usedWhen(kUnlessEmptinessTest).spec,
    Param("caseSensitive", Kind::Boolean, Role::Data).byDefault("false").spec,
    Param("order", Kind::Keyword, Role::Data).byDefault("numerical").keywords(kOrders).spec,
};
const ParameterSpec kInlineIfParameters[] = {
    Param("then", Kind::Text, Role::Copied).byDefault("").spec,
    Param("else", Kind::Text, Role::Copied).byDefault("").spec,
};

const ParameterSpec kSwitchParameters[] = {
    Param("value", Kind::Text, Role::Data).required().spec,
    Param("caseSensitive", Kind::Boolean, Role::Data).byDefault("false").spec,
};
const ParameterSpec kCaseParameters[] = {
    Param("value", Kind::Text, Role::Data).spec,  // absent: the default case
};

const ParameterSpec kLoopParameters[] = {
    Param("totalSize", Kind::Decimal, Role::Data).byDefault("0").spec,
    Param("indexName", Kind::Text, Role::Copied).byDefault("").spec,
    Param("first", Kind::Decimal, Role::Data).spec,
    Param("iteration", Kind::Decimal, Role::Data).usedWhen(kWithFirst).spec,
    Param("last", Kind::Decimal, Role::Data).required(kWithFirst).usedWhen(kWithFirst).spec,
    Param("step", Kind::Decimal, Role::Data).byDefault("1").usedWhen(kWithFirst).spec,
    Param("item", Kind::Text, Role::Copied).repeatable().spec,
    Param("itemList", Kind::Text, Role::Copied).spec,
    Param("listDelimiter", Kind::Text, Role::Data).byDefault(",").usedWhen(kWithItemList).spec,
};

const ParameterSpec kMathParameters[] = {
    Param("workPrecision", Kind::Integer, Role::Data).byDefault("8").range(0, 25).spec,
    Param("resultPrecision", Kind::Integer, Role::Data).range(0, 25).spec,  // default: workPrecision
    Param("displayPrecision", Kind::Integer, Role::Data).byDefault("-1").range(-1, 25).spec,
};

const ParameterSpec kInlineStringParameters[] = {
    Param("string", Kind::Text, Role::Copied).required().repeatable().spec,
};
const ParameterSpec kStringParameters[] = {
    Param("mode", Kind::Keyword, Role::Data).byDefault("noOperation").keywords(kStringModes).spec,
    Param("caseSensitive", Kind::Boolean, Role::Data).byDefault("false").usedWhen(inMode(BW_WORDS(kCaseModes))).spec,
    Param("quoteResult", Kind::Boolean, Role::Data).byDefault("false").spec,
    Param("beginningIndex", Kind::Decimal, Role::Data)
        .required(inMode(BW_WORDS(kSubstring))).usedWhen(inMode(BW_WORDS(kBeginningModes))).spec,
    Param("length", Kind::Decimal, Role::Data)
        .required(inMode(BW_WORDS(kSubstring))).usedWhen(inMode(BW_WORDS(kLengthModes))).byDefault("1").spec,
    Param("stringToReplace", Kind::Text, Role::Data)
        .required(inMode(BW_WORDS(kReplace))).usedWhen(inMode(BW_WORDS(kReplace))).spec,
    Param("replacementString", Kind::Text, Role::Copied)
        .required(inMode(BW_WORDS(kReplace))).usedWhen(inMode(BW_WORDS(kReplace))).spec,
    Param("stringToInsert", Kind::Text, Role::Copied)
        .required(inMode(BW_WORDS(kInsert))).usedWhen(inMode(BW_WORDS(kInsert))).spec,
    Param("index", Kind::Decimal, Role::Data)
        .required(inMode(BW_WORDS(kInsertOrSplit))).usedWhen(inMode(BW_WORDS(kInsertOrSplit))).spec,
    Param("stringToPrepend", Kind::Text, Role::Copied)
        .required(inMode(BW_WORDS(kPrepend))).usedWhen(inMode(BW_WORDS(kPrepend))).spec,
    Param("stringToAppend", Kind::Text, Role::Copied)
        .required(inMode(BW_WORDS(kAppend))).usedWhen(inMode(BW_WORDS(kAppend))).spec,
    Param("delimiter", Kind::Text, Role::Data)
        .required(inMode(BW_WORDS(kSplit))).usedWhen(inMode(BW_WORDS(kSplit))).spec,
    Param("character", Kind::Text, Role::Copied).usedWhen(inMode(BW_WORDS(kCharacterModes))).spec,
    Param("regularExpression", Kind::Pattern, Role::Data)
        .required(inMode(BW_WORDS(kRegex))).usedWhen(inMode(BW_WORDS(kRegex))).spec,
    Param("resultVariableName", Kind::Text, Role::Data).byDefault("").usedWhen(inMode(BW_WORDS(kRegex))).spec,
};

#define BW_PARAMS(array) ParameterList{array, std::size(array)}

const TagSpec kTags[] = {
    {"qelComment", 0x12, BodyKind::Raw, BodyRole::None, {}, {}},
    {"qelIf", 0x12, BodyKind::Raw, BodyRole::Page, BW_PARAMS(kConditionParameters), {}},
    {"qelInlineIf", 0x20, BodyKind::None, BodyRole::None, BW_PARAMS(kInlineIfParameters),
     BW_PARAMS(kConditionParameters)},
    {"qelInlineString", 0x20, BodyKind::None, BodyRole::None, BW_PARAMS(kInlineStringParameters),
     BW_PARAMS(kStringParameters)},
    {"qelLoop", 0x12, BodyKind::Raw, BodyRole::Page, BW_PARAMS(kLoopParameters), {}, nullptr,
     BW_WORDS(kLoopSources), "No valid parameters were provided for this loop."},
    {"qelMath", 0x10, BodyKind::Data, BodyRole::Data, BW_PARAMS(kMathParameters), {}},
    {"qelString", 0x10, BodyKind::Data, BodyRole::Copied, BW_PARAMS(kStringParameters), {}},
    {"qelSwitch", 0x12, BodyKind::Raw, BodyRole::Page, BW_PARAMS(kSwitchParameters), {}},
    {"qelCase", 0, BodyKind::Raw, BodyRole::Page, BW_PARAMS(kCaseParameters), {}, "qelSwitch"},
    {"qelElse", 0, BodyKind::None, BodyRole::None, {}, {}, "qelIf"},
};

}  // namespace

std::vector<const ParameterSpec*> TagSpec::allParameters() const {
  std::vector<const ParameterSpec*> all;
  for (const ParameterSpec& p : parameters) all.push_back(&p);
  for (const ParameterSpec& p : sharedParameters) all.push_back(&p);
  return all;
}

const ParameterSpec* TagSpec::findParameter(std::string_view name) const {
  for (const ParameterSpec& p : parameters)
    if (equalsIgnoringCase(name, p.name)) return &p;
  for (const ParameterSpec& p : sharedParameters)
    if (equalsIgnoringCase(name, p.name)) return &p;
  return nullptr;
}

const std::vector<const TagSpec*>& allTagSpecs() {
  static const std::vector<const TagSpec*> all = [] {
    std::vector<const TagSpec*> tags;
    for (const TagSpec& tag : kTags) tags.push_back(&tag);
    return tags;
  }();
  return all;
}

const TagSpec* findTagSpec(std::string_view name) {
  for (const TagSpec& tag : kTags)
    if (equalsIgnoringCase(name, tag.name)) return &tag;
  return nullptr;
}

ParameterRole parameterRole(std::string_view tagName, std::string_view parameterName) {
  const TagSpec* tag = findTagSpec(tagName);
  const ParameterSpec* parameter = tag != nullptr ? tag->findParameter(parameterName) : nullptr;
  return parameter != nullptr ? parameter->role : ParameterRole::Data;
}

}  // namespace bw
