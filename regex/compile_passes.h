// The three compile passes of a pattern and the quantifier reader they share.
//
// compile runs them in order on a private copy: shorthand substitution,
// marking of bracket expressions and groups, and tree building.  Each pass
// reports a rejection by its result only; none writes a message.
#ifndef BRINDLEWORK_REGEX_COMPILE_PASSES_H
#define BRINDLEWORK_REGEX_COMPILE_PASSES_H

#include <cstdint>

#include "foundation/qel_string.h"
#include "regex/regex_node.h"

namespace bw {

// Rewrites class names and backslash shorthands as plain pattern text.
void substituteShorthands(QelString& text);

// Puts kClassMark around every bracket expression with its quantifier and
// kGroupMark around every group with what belongs to it.  0, or a positive
// number for a rejection.
int32_t markAtoms(QelString& text);

// Appends one child to root per piece between group marks.  0 or -1.
int32_t buildTree(RegexNode& root, const QelString& text);

// Builds one node from a stretch of marked text.  0 or -1.
int32_t buildNode(RegexNode& node, const QelString& text);

// Reads a quantifier at position into node: the bytes consumed (0 when none
// starts there) or -1 for a malformed one.
int32_t parseQuantifier(const QelString& text, uint32_t position, RegexNode& node);

}  // namespace bw

#endif
