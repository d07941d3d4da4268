// RegexNode: one node of a compiled pattern tree, and the limits and marks the
// compiler and matcher share.
//
// A node without children is a leaf that tests one byte; a node flagged
// Alternation chooses the first of its two children that matches; any other
// node with children is a sequence.  Every node carries repetition bounds and
// may carry anchors.  A node owns its children: destroying it destroys them.
#ifndef BRINDLEWORK_REGEX_REGEX_NODE_H
#define BRINDLEWORK_REGEX_REGEX_NODE_H

#include <cstdint>

#include "foundation/object.h"
#include "foundation/pointer_array.h"

namespace bw {

// Node flags.
enum RegexFlag : uint16_t {
  AnchorStart = 0x0001,  // match begins at the subject's start or right after CR/LF
  AnchorEnd = 0x0002,    // match ends at the subject's end or right before CR/LF
  Plus = 0x0004,
  Star = 0x0008,
  Optional = 0x0010,
  Counted = 0x0020,
  AnyChar = 0x0040,  // a leaf matching any byte but CR and LF
  Negated = 0x0080,  // a leaf matching a byte outside its set
  Alternation = 0x0100,
  Capture = 0x0200,
};

// Bytes the marking pass inserts around bracket expressions and groups; a
// pattern that already holds them is rejected.
constexpr char kClassMark = '\x01';
constexpr char kGroupMark = '\x02';

// Room in the capture table: entry 0 is the whole match, 1..9 the groups.
constexpr uint32_t kMaxGroups = 9;
constexpr uint32_t kCaptureEntries = kMaxGroups + 1;
// Repetition counts above this are cut to it.
constexpr uint32_t kMaxRepeatCount = 255;

// The bytes next to which ^ and $ match, and that . does not match.
inline bool isLineBreak(unsigned char byte) { return byte == '\r' || byte == '\n'; }

struct CaptureEntry {
  int32_t start;
  int32_t length;
};

class RegexNode : public QELObject {
 public:
  RegexNode(CaptureEntry* captureTable, uint32_t* groupCounter);
  ~RegexNode() override;
  RegexNode(const RegexNode&) = delete;
  RegexNode& operator=(const RegexNode&) = delete;

  // A new child, appended and owned by this node.
  RegexNode* addChild();
  uint32_t childCount() const { return children_.count(); }
  RegexNode* child(uint32_t index) const {
    return static_cast<RegexNode*>(children_.pointerAt(index));
  }
  bool isLeaf() const { return children_.count() == 0; }

  bool has(uint16_t flag) const { return (flags & flag) != 0; }
  void set(uint16_t flag) { flags = static_cast<uint16_t>(flags | flag); }

  void addMember(unsigned char byte) { charSet[byte >> 5] |= 1u << (byte & 31); }
  void addRange(unsigned char first, unsigned char last);
  bool isMember(unsigned char byte) const { return (charSet[byte >> 5] >> (byte & 31)) & 1u; }
  // Whether a leaf accepts the byte (AnyChar, set and Negated applied).
  bool leafAccepts(unsigned char byte) const {
    if (flags & AnyChar) return !isLineBreak(byte);
    return isMember(byte) != ((flags & Negated) != 0);
  }

  CaptureEntry* captureTable() const { return captureTable_; }
  uint32_t* groupCounter() const { return groupCounter_; }

 private:
  PointerArray children_;
  CaptureEntry* captureTable_;
  uint32_t* groupCounter_;

 public:
  uint16_t flags = 0;
  int32_t groupNumber = 0;
  uint8_t minimum = 1;
  uint8_t maximum = 1;  // 0: no upper bound
  uint32_t charSet[8] = {};
  // A leaf that matches exactly one byte, once, with no anchor (set by
  // compile once the tree stands): sequences test it inline.
  bool plainByte = false;

  // Scratch of the matcher for a repeating leaf: the bytes [runFrom, runTo)
  // of the current subject are all accepted and the byte at runTo is not (or
  // is the end).  Only meaningful while runKnown; cleared at every search.
  mutable uint32_t runFrom = 0;
  mutable uint32_t runTo = 0;
  mutable bool runKnown = false;
};

}  // namespace bw

#endif
