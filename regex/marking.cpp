// The marking pass: one left-to-right scan that brackets every bracket
// expression (with its quantifier) in kClassMark and every group (with a
// leading ^, its quantifier or a trailing $) in kGroupMark, so that the tree
// builder can cut the pattern without parsing it again.
//
// Rejections (positive results, one per cause so a caller or test can tell
// them apart): a group inside a group, a `{` after `)` or `]` with no `}`
// later, a group or bracket expression still open at the end.
#include "regex/compile_passes.h"

namespace bw {

namespace {

enum MarkRejection : int32_t {
  kNestedGroup = 1,
  kUnclosedCount = 2,
  kUnclosedBracket = 3,
  kUnclosedGroup = 4,
};

// Copies what belongs to a closing `)` or `]` (one quantifier byte, a `$`
// for groups only, or a whole "{...}") from text at i into out.  Returns the
// position after it, or kToEnd when a `{` has no `}`.
uint32_t copySuffix(const QelString& text, uint32_t i, bool takesDollar, QelString& out) {
  if (i >= text.length()) return i;
  char c = text.charAt(i);
  if (c == '*' || c == '+' || c == '?' || (takesDollar && c == '$')) {
    out.append(c);
    return i + 1;
  }
  if (c != '{') return i;
  uint32_t close = 0;
  if (!text.find('}', i, kToEnd, NoOptions, close)) return kToEnd;
  out.append(text.data() + i, close + 1 - i);
  return close + 1;
}

}  // namespace

int32_t markAtoms(QelString& text) {
  QelString out;
  out.reserve(text.length() + 16);
  const uint32_t n = text.length();
  bool inBracket = false;
  uint32_t bracketOpen = 0;
  bool inGroup = false;
  bool plainCaretLast = false;  // the last byte copied is an unescaped ^

  uint32_t i = 0;
  while (i < n) {
    char c = text.charAt(i);
    if (inBracket) {
      if (c == ']' && i != bracketOpen + 1) {
        out.append(c);
        i = copySuffix(text, i + 1, false, out);
        if (i == kToEnd) return kUnclosedCount;
        out.append(kClassMark);
        inBracket = false;
      } else {
        out.append(c);
        ++i;
      }
      plainCaretLast = false;
      continue;
    }
    switch (c) {
      case '\\':
        out.append(text.data() + i, i + 1 < n ? 2 : 1);
        i += 2;
        plainCaretLast = false;
        continue;
      case '(':
        if (inGroup) return kNestedGroup;
        // A leading anchor goes with the group it stands before.
        if (plainCaretLast) {
          out.insert(kGroupMark, out.length() - 1);
        } else {
          out.append(kGroupMark);
        }
        out.append(c);
        inGroup = true;
        ++i;
        break;
      case ')':
        out.append(c);
        if (inGroup) {
          i = copySuffix(text, i + 1, true, out);
          if (i == kToEnd) return kUnclosedCount;
          out.append(kGroupMark);
          inGroup = false;
        } else {
          ++i;  // a stray ) is left for the tree builder to reject
        }
        break;
      case '[':
        out.append(kClassMark);
        out.append(c);
        bracketOpen = i;
        inBracket = true;
        ++i;
        break;
      default:
        out.append(c);
        ++i;
        break;
    }
    plainCaretLast = (c == '^');
  }
  if (inBracket) return kUnclosedBracket;
  if (inGroup) return kUnclosedGroup;
  text = out;
  return 0;
}

}  // namespace bw
