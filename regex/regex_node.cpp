// RegexNode construction, ownership of children and byte-set ranges.
#include "regex/regex_node.h"

#include <memory>

namespace bw {

namespace {
void destroyChild(PointerSlot* slot) { delete static_cast<RegexNode*>(slot->pointer); }
}  // namespace

RegexNode::RegexNode(CaptureEntry* captureTable, uint32_t* groupCounter)
    : children_(destroyChild), captureTable_(captureTable), groupCounter_(groupCounter) {}

RegexNode::~RegexNode() = default;

RegexNode* RegexNode::addChild() {
  // Held until the array owns it: growing the array may run out of memory.
  std::unique_ptr<RegexNode> node(new RegexNode(captureTable_, groupCounter_));
  children_.appendPointer(node.get());
  return node.release();
}

void RegexNode::addRange(unsigned char first, unsigned char last) {
  for (unsigned value = first; value <= last; ++value) addMember(static_cast<unsigned char>(value));
}

}  // namespace bw
