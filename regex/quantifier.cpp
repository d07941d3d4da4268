// The quantifier reader: *, +, ? and {m,n}, stored into the node they follow.
//
// Counts above kMaxRepeatCount are cut to it.  An upper bound of 0 means "no
// upper bound" everywhere, so "{n,}" is n or more and "{0}" and "{0,0}" read
// like "{0,}", that is like *.  Bounds the other way round ("{5,2}") are
// rejected rather than silently dropped, as is a second comma.
#include "regex/compile_passes.h"

namespace bw {

namespace {

struct QuantifierRow {
  char symbol;
  uint16_t flag;
  uint8_t minimum;
};

// The one-byte quantifiers; all of them leave the upper bound open.
constexpr QuantifierRow kQuantifierRows[] = {
    {'*', Star, 0},
    {'+', Plus, 1},
    {'?', Optional, 0},
};

uint32_t accumulate(uint32_t bound, char digit) {
  uint32_t value = bound * 10 + static_cast<uint32_t>(digit - '0');
  return value > kMaxRepeatCount ? kMaxRepeatCount : value;
}

}  // namespace

int32_t parseQuantifier(const QelString& text, uint32_t position, RegexNode& node) {
  if (position >= text.length()) return 0;
  const char c = text.charAt(position);
  for (const QuantifierRow& row : kQuantifierRows) {
    if (c != row.symbol) continue;
    node.set(row.flag);
    node.minimum = row.minimum;
    node.maximum = 0;
    return 1;
  }
  if (c != '{') return 0;

  uint32_t lower = 0;
  uint32_t upper = 0;
  bool sawComma = false;
  uint32_t i = position + 1;
  for (; i < text.length() && text.charAt(i) != '}'; ++i) {
    const char b = text.charAt(i);
    if (b >= '0' && b <= '9') {
      upper = accumulate(upper, b);
      if (!sawComma) lower = upper;
    } else if (b == ',' && !sawComma) {
      sawComma = true;
      upper = 0;
    } else {
      return -1;
    }
  }
  if (i >= text.length()) return -1;  // no closing }
  if (i == position + 1) return -1;   // {}
  if (upper != 0 && lower > upper) return -1;
  node.set(Counted);
  node.minimum = static_cast<uint8_t>(lower);
  node.maximum = static_cast<uint8_t>(upper);
  return static_cast<int32_t>(i + 1 - position);
}

}  // namespace bw
