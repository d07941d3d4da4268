// RegexNode construction, ownership of children and byte-set ranges.
#include "regex/regex_node.h"

namespace bw {

namespace {
void destroyChild(PointerSlot* slot) { delete static_cast<RegexNode*>(slot->pointer); }
}  // namespace

RegexNode::RegexNode(CaptureEntry* captureTable, uint32_t* groupCounter)
    : children_(destroyChild), captureTable_(captureTable), groupCounter_(groupCounter) {}

RegexNode::~RegexNode() = default;

RegexNode* RegexNode::addChild() {
  RegexNode* node = new RegexNode(captureTable_, groupCounter_);
  children_.appendPointer(node);
  return node;
}

void RegexNode::addRange(unsigned char first, unsigned char last) {
  for (unsigned value = first; value <= last; ++value) addMember(static_cast<unsigned char>(value));
}

}  // namespace bw
