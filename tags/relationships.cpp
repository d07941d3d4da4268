// The relationship table and the comparison engine of the condition tags.
#include "tags/relationships.h"

#include "decimal/big_decimal.h"
#include "foundation/known_keywords.h"

namespace bw {

namespace {

struct RelationRow {
  NameKey keyword;
  bool hasSymbol;
  NameKey symbol;
  Relation relation;
};

// Keywords and symbols match regardless of letter case; the first row that
// matches decides.
const RelationRow kRelationRows[] = {
    {"equals", true, "=", Relation::Equals},
    {"doesNotEqual", true, "<>", Relation::DoesNotEqual},
    {"lessThan", true, "<", Relation::LessThan},
    {"lessThanOrEqualTo", true, "<=", Relation::LessThanOrEqualTo},
    {"greaterThan", true, ">", Relation::GreaterThan},
    {"greaterThanOrEqualTo", true, ">=", Relation::GreaterThanOrEqualTo},
    {"contains", false, NameKey(), Relation::Contains},
    {"doesNotContain", false, NameKey(), Relation::DoesNotContain},
    {"beginsWith", false, NameKey(), Relation::BeginsWith},
    {"doesNotBeginWith", false, NameKey(), Relation::DoesNotBeginWith},
    {"endsWith", false, NameKey(), Relation::EndsWith},
    {"doesNotEndWith", false, NameKey(), Relation::DoesNotEndWith},
    {"isEmpty", false, NameKey(), Relation::IsEmpty},
    {"isNotEmpty", false, NameKey(), Relation::IsNotEmpty},
};

const NameKey kAlphabetical("alphabetical");
const NameKey kNumerical("numerical");

// Every keyword of this file, so that parameters spelling one exactly share it.
[[maybe_unused]] const bool kKeywordsRegistered = [] {
  for (const RelationRow& row : kRelationRows) {
    registerKnownKeyword(row.keyword);
    if (row.hasSymbol) registerKnownKeyword(row.symbol);
  }
  registerKnownKeyword(kAlphabetical);
  registerKnownKeyword(kNumerical);
  return true;
}();

// Numbers of the numerical order.
constexpr int32_t kComparePrecision = 75;
constexpr int32_t kCompareScale = 25;

// Whether an ordering relationship holds for a three-way result.
bool orderingHolds(Relation relation, int order) {
  switch (relation) {
    case Relation::Equals: return order == 0;
    case Relation::DoesNotEqual: return order != 0;
    case Relation::LessThan: return order < 0;
    case Relation::LessThanOrEqualTo: return order <= 0;
    case Relation::GreaterThan: return order > 0;
    case Relation::GreaterThanOrEqualTo: return order >= 0;
    default: return false;
  }
}

int threeWay(CompareResult result) {
  return result == CompareResult::Less ? -1 : result == CompareResult::Equal ? 0 : 1;
}

uint32_t sizeOf(std::string_view text) { return static_cast<uint32_t>(text.size()); }

// An empty right side is never found.
bool containsText(std::string_view left, std::string_view right, uint32_t options) {
  return QelString::textContains(left.data(), sizeOf(left), right.data(), sizeOf(right), options);
}
bool beginsWithText(std::string_view left, std::string_view right, uint32_t options) {
  return QelString::textStartsWith(left.data(), sizeOf(left), right.data(), sizeOf(right), options);
}
bool endsWithText(std::string_view left, std::string_view right, uint32_t options) {
  return QelString::textEndsWith(left.data(), sizeOf(left), right.data(), sizeOf(right), options);
}

}  // namespace

Relation findRelation(const NameKey& relationship) {
  for (const RelationRow& row : kRelationRows) {
    if (row.keyword == relationship || (row.hasSymbol && row.symbol == relationship)) {
      return row.relation;
    }
  }
  return Relation::Unknown;
}

bool needsRightSide(Relation relation) {
  return relation != Relation::IsEmpty && relation != Relation::IsNotEmpty;
}

const NameKey& alphabeticalOrder() { return kAlphabetical; }
const NameKey& numericalOrder() { return kNumerical; }

bool evaluateCondition(std::string_view left, const NameKey& relationship, std::string_view right,
                       bool caseSensitive, const NameKey& order) {
  const uint32_t options = caseSensitive ? NoOptions : IgnoreCase;
  const Relation relation = findRelation(relationship);
  switch (relation) {
    case Relation::Contains: return containsText(left, right, options);
    case Relation::DoesNotContain: return !containsText(left, right, options);
    case Relation::BeginsWith: return beginsWithText(left, right, options);
    case Relation::DoesNotBeginWith: return !beginsWithText(left, right, options);
    case Relation::EndsWith: return endsWithText(left, right, options);
    case Relation::DoesNotEndWith: return !endsWithText(left, right, options);
    case Relation::IsEmpty: return left.empty();
    case Relation::IsNotEmpty: return !left.empty();
    case Relation::Unknown: return false;
    default: break;
  }
  bool alphabetical = order == kAlphabetical;
  BigDecimal leftNumber(kComparePrecision, kCompareScale);
  BigDecimal rightNumber(kComparePrecision, kCompareScale);
  if (order == kNumerical) {
    leftNumber.fromText(left.data(), sizeOf(left));
    rightNumber.fromText(right.data(), sizeOf(right));
    if (leftNumber.isEmpty() || rightNumber.isEmpty()) alphabetical = true;
  }
  const int result =
      alphabetical
          ? threeWay(QelString::compareTexts(left.data(), sizeOf(left), right.data(), sizeOf(right), options))
          : BigDecimal::compare(leftNumber, rightNumber);
  return orderingHolds(relation, result);
}

}  // namespace bw
