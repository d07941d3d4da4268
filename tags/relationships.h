// The comparison engine of qelIf and qelInlineIf: fourteen relationships,
// named by keyword or (for the six orderings) by symbol, compared as texts
// or as numbers.
//
// Under the numerical order both sides are read as decimal numbers; when
// either is not a number the texts are compared instead.  The texts are
// compared ignoring ASCII letter case unless caseSensitive is set.
#ifndef BRINDLEWORK_TAGS_RELATIONSHIPS_H
#define BRINDLEWORK_TAGS_RELATIONSHIPS_H

#include <string_view>

#include "foundation/name_key.h"
#include "foundation/qel_string.h"

namespace bw {

enum class Relation {
  Equals, DoesNotEqual, LessThan, LessThanOrEqualTo, GreaterThan, GreaterThanOrEqualTo,
  Contains, DoesNotContain, BeginsWith, DoesNotBeginWith, EndsWith, DoesNotEndWith,
  IsEmpty, IsNotEmpty,
  Unknown,  // any other value: the condition is false
};

// The relationship a keyword or symbol names, tried in table order.
Relation findRelation(const NameKey& relationship);

// isEmpty and isNotEmpty look at the left side only.
bool needsRightSide(Relation relation);

// The two order keywords.
const NameKey& alphabeticalOrder();
const NameKey& numericalOrder();

// Whether the relationship holds.  An order that is neither keyword
// compares the ordering relationships as two numbers without value, which
// are equal.  The sides are read in place, so a handler can hand over the
// host's answers without copying them into strings.
bool evaluateCondition(std::string_view left, const NameKey& relationship, std::string_view right,
                       bool caseSensitive, const NameKey& order);

}  // namespace bw

#endif
