// Tree building: the marked pattern becomes a tree of RegexNodes under the
// program's root.
//
// The root is a sequence of segments (the pieces between group marks).  A
// segment or a group's inside is an alternation of two stretches or a
// sequence of leaves; a group is a node with one child, its inside.  ^ and $
// are anchors only at the very start and end of such a stretch.
//
// Choices made where the dialect leaves room: a tenth group is rejected (the
// capture table has nine), and a bracket expression whose closing `]` was cut
// off by an alternation split is rejected rather than read as something else.
#include <cstring>

#include "regex/compile_passes.h"

namespace bw {

namespace {

// Bytes that may follow a backslash outside bracket expressions.
constexpr char kEscapable[] = "$()*+.?[\\]^{}";
// Bytes that are never an atom of their own.
constexpr char kNotAnAtom[] = "()*+,?[]{}";

bool inList(const char* list, char c) {
  return std::memchr(list, c, std::strlen(list)) != nullptr;
}

// Whether the byte at index last is the second byte of an escape, reading
// backslash pairs from the left.
bool isEscaped(const QelString& text, uint32_t last) {
  uint32_t i = 0;
  while (i < last) {
    if (text.charAt(i) == '\\') {
      if (i + 1 == last) return true;
      i += 2;
    } else {
      ++i;
    }
  }
  return false;
}

// Index of the last occurrence of c, or kToEnd.
uint32_t lastIndexOf(const QelString& text, char c) {
  for (uint32_t i = text.length(); i > 0; --i) {
    if (text.charAt(i - 1) == c) return i - 1;
  }
  return kToEnd;
}

// Reads a quantifier that must use up everything from position to the end.
bool quantifierFills(const QelString& text, uint32_t position, RegexNode& node) {
  int32_t used = parseQuantifier(text, position, node);
  return used >= 0 && position + static_cast<uint32_t>(used) == text.length();
}

int32_t buildGroup(RegexNode& node, const QelString& text) {
  uint32_t& counter = *node.groupCounter();
  if (counter >= kMaxGroups) return -1;
  node.groupNumber = static_cast<int32_t>(++counter);
  node.set(Capture);
  uint32_t close = lastIndexOf(text, ')');
  if (close == kToEnd || !quantifierFills(text, close + 1, node)) return -1;
  return buildNode(*node.addChild(), text.substring(1, close - 1));
}

int32_t buildBracket(RegexNode& leaf, const QelString& piece) {
  // The closing ] cannot be the byte right after [: that one is a member.
  uint32_t close = lastIndexOf(piece, ']');
  if (close == kToEnd || close < 2 || !quantifierFills(piece, close + 1, leaf)) return -1;
  uint32_t i = 1;
  if (piece.charAt(i) == '^' && close > 1) {
    leaf.set(Negated);
    ++i;
  }
  const uint32_t first = i;
  const uint32_t last = close - 1;
  for (; i < close; ++i) {
    const unsigned char c = static_cast<unsigned char>(piece.charAt(i));
    if (c == '-' && i != first && i != last) {
      leaf.addRange(static_cast<unsigned char>(piece.charAt(i - 1)),
                    static_cast<unsigned char>(piece.charAt(i + 1)));
      ++i;
    } else {
      leaf.addMember(c);
    }
  }
  return 0;
}

int32_t buildLiteral(RegexNode& node, const QelString& piece) {
  uint32_t i = 0;
  while (i < piece.length()) {
    const char c = piece.charAt(i);
    RegexNode& leaf = *node.addChild();
    if (c == '.') {
      leaf.set(AnyChar);
      ++i;
    } else if (c == '\\') {
      if (i + 1 >= piece.length() || !inList(kEscapable, piece.charAt(i + 1))) return -1;
      leaf.addMember(static_cast<unsigned char>(piece.charAt(i + 1)));
      i += 2;
    } else if (inList(kNotAnAtom, c)) {
      return -1;
    } else {
      leaf.addMember(static_cast<unsigned char>(c));
      ++i;
    }
    int32_t used = parseQuantifier(piece, i, leaf);
    if (used < 0) return -1;
    i += static_cast<uint32_t>(used);
  }
  return 0;
}

// Calls build on every non-empty piece of text between separator bytes;
// stops at the first failure.
template <typename Build>
int32_t forEachPiece(const QelString& text, char separator, Build build) {
  uint32_t start = 0;
  while (start <= text.length()) {
    uint32_t end = text.length();
    text.find(separator, start, kToEnd, NoOptions, end);
    if (end > start && build(text.substring(start, end - start)) < 0) return -1;
    start = end + 1;
  }
  return 0;
}

}  // namespace

int32_t buildTree(RegexNode& root, const QelString& text) {
  return forEachPiece(text, kGroupMark,
                      [&root](const QelString& segment) { return buildNode(*root.addChild(), segment); });
}

int32_t buildNode(RegexNode& node, const QelString& text) {
  uint32_t begin = 0;
  uint32_t end = text.length();
  if (end > begin && text.charAt(0) == '^') {
    node.set(AnchorStart);
    begin = 1;
  }
  if (end > begin && text.charAt(end - 1) == '$' && !isEscaped(text, end - 1)) {
    node.set(AnchorEnd);
    --end;
  }
  if (begin == end) {
    // Nothing left: a zero-width anchor test, or a node that never matches.
    if (node.has(AnchorStart) || node.has(AnchorEnd)) node.minimum = 0;
    return 0;
  }
  const QelString body = text.substring(begin, end - begin);

  if (body.charAt(0) == '(') return buildGroup(node, body);

  uint32_t bar = 0;
  if (body.find('|', 0, kToEnd, NoOptions, bar)) {
    uint32_t second = 0;
    if (body.find('|', bar + 1, kToEnd, NoOptions, second)) return -1;
    node.set(Alternation);
    RegexNode& left = *node.addChild();
    RegexNode& right = *node.addChild();
    if (buildNode(left, body.substring(0, bar)) < 0) return -1;
    return buildNode(right, body.substring(bar + 1));
  }

  return forEachPiece(body, kClassMark, [&node](const QelString& piece) {
    if (piece.charAt(0) == '[') return buildBracket(*node.addChild(), piece);
    return buildLiteral(node, piece);
  });
}

}  // namespace bw
