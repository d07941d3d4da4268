// A compact text form of compiled trees, so that tests can state the tree a
// pattern must build in one line.
//
//   leaf        a   [0-9a]   [^ab]   <any>   <e> (zero-width)   <never>
//   sequence    {a b c}
//   alternation {x|y}        (the two children, each a sequence)
//   group       (inside)#n
//   suffixes    * + ? {m,n}  anchors ^ before and $ after
//   root        segments joined by " ; "
#ifndef BRINDLEWORK_TESTS_REGEX_TREE_TEXT_H
#define BRINDLEWORK_TESTS_REGEX_TREE_TEXT_H

#include <cstdio>
#include <string>

#include "regex/regex_program.h"

namespace bw::test {

inline std::string byteText(unsigned byte) {
  if (byte > 32 && byte < 127 && byte != '[' && byte != ']' && byte != '-' && byte != '\\')
    return std::string(1, static_cast<char>(byte));
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "\\x%02X", byte);
  return buffer;
}

inline std::string setText(const RegexNode& leaf) {
  std::string members;
  int count = 0;
  for (unsigned b = 0; b < 256;) {
    if (!leaf.isMember(static_cast<unsigned char>(b))) {
      ++b;
      continue;
    }
    unsigned e = b;
    while (e + 1 < 256 && leaf.isMember(static_cast<unsigned char>(e + 1))) ++e;
    members += byteText(b);
    if (e > b) members += (e > b + 1 ? "-" : "") + byteText(e);
    count += static_cast<int>(e - b + 1);
    b = e + 1;
  }
  if (leaf.has(Negated)) return "[^" + members + "]";
  if (count == 1) return members;
  if (count == 0) return "";
  return "[" + members + "]";
}

inline std::string nodeText(const RegexNode& node) {
  std::string body;
  if (node.isLeaf()) {
    if (node.has(AnyChar)) {
      body = "<any>";
    } else {
      body = setText(node);
      if (body.empty()) body = node.minimum == 0 ? "<e>" : "<never>";
    }
  } else if (node.has(Capture)) {
    body = "(" + nodeText(*node.child(0)) + ")#" + std::to_string(node.groupNumber);
  } else if (node.has(Alternation)) {
    body = "{" + nodeText(*node.child(0)) + "|" + nodeText(*node.child(1)) + "}";
  } else {
    body = "{";
    for (uint32_t i = 0; i < node.childCount(); ++i) {
      if (i) body += " ";
      body += nodeText(*node.child(i));
    }
    body += "}";
  }
  if (node.has(Star)) body += "*";
  if (node.has(Plus)) body += "+";
  if (node.has(Optional)) body += "?";
  if (node.has(Counted))
    body += "{" + std::to_string(node.minimum) + "," + std::to_string(node.maximum) + "}";
  if (node.has(AnchorStart)) body = "^" + body;
  if (node.has(AnchorEnd)) body += "$";
  return body;
}

inline std::string treeText(const RegexProgram& program) {
  const RegexNode& root = program.root();
  std::string text;
  for (uint32_t i = 0; i < root.childCount(); ++i) {
    if (i) text += " ; ";
    text += nodeText(*root.child(i));
  }
  return text;
}

}  // namespace bw::test

#endif
