// matchNode: the recursive, possessive walk of the tree.
//
// A repetition takes as many repetitions as it can and never gives one back;
// a sequence never asks an earlier child to match differently; an
// alternation keeps its first child once it has matched.  A repetition whose
// body matched zero bytes ends there: every further repetition would match
// the same nothing at the same place, so the count is taken to reach the
// minimum ("(a?){3}" matches "a").
//
// A sequence tests its plain-byte leaves (one byte, once, no anchor) in its
// own loop: the outcome is that of the walk, at a fraction of its cost, and
// long literal stretches are common in patterns.
//
// Within one walk a leaf is only ever asked about positions at or after the
// last one (sequences and repetitions move forward, an alternation's second
// child is another leaf), so its remembered run makes every walk read each
// byte at most once per leaf.
#include "regex/matcher.h"

namespace bw {

namespace {

// Where the run of bytes the leaf accepts, starting at position, ends.
uint32_t runEnd(const RegexNode& leaf, const Subject& subject, uint32_t position) {
  if (leaf.runKnown && leaf.runFrom <= position && position <= leaf.runTo) return leaf.runTo;
  uint32_t end = position;
  while (end < subject.length && leaf.leafAccepts(subject.bytes[end])) {
    if (leaf.runKnown && end == leaf.runFrom) {
      end = leaf.runTo;
      break;
    }
    ++end;
  }
  subject.steps += end - position;
  leaf.runFrom = position;
  leaf.runTo = end;
  leaf.runKnown = true;
  return end;
}

// One attempt of a node with children at position; -1 on failure.
int32_t attempt(const RegexNode& node, const Subject& subject, uint32_t position) {
  if (node.has(Alternation)) {
    int32_t length = matchNode(*node.child(0), subject, position);
    return length >= 0 ? length : matchNode(*node.child(1), subject, position);
  }
  uint32_t at = position;
  for (uint32_t i = 0, n = node.childCount(); i < n; ++i) {
    const RegexNode& child = *node.child(i);
    if (child.plainByte) {
      ++subject.steps;
      if (at >= subject.length || !child.leafAccepts(subject.bytes[at])) return -1;
      ++at;
      continue;
    }
    int32_t length = matchNode(child, subject, at);
    if (length < 0) return -1;
    at += static_cast<uint32_t>(length);
  }
  return static_cast<int32_t>(at - position);
}

}  // namespace

int32_t matchNode(const RegexNode& node, const Subject& subject, uint32_t begin) {
  if (++subject.steps > subject.stepLimit) return -1;
  // The start anchor depends on begin alone, so it is tested before any walk.
  // (Skipping the walk only skips capture entries of an attempt that fails.)
  if (!startAnchorHolds(node, subject, begin)) return -1;
  const uint32_t limit = repetitionLimit(node);
  uint32_t position = begin;
  uint32_t count = 0;
  if (node.isLeaf()) {
    if (node.has(kRepeating)) {
      const uint32_t run = runEnd(node, subject, begin) - begin;
      count = run < limit ? run : limit;
      position = begin + count;
    } else if (begin < subject.length && node.leafAccepts(subject.bytes[begin])) {
      position = begin + 1;
      count = 1;
    }
  } else {
    while (count < limit) {
      int32_t length = attempt(node, subject, position);
      if (length < 0) break;
      ++count;
      if (length == 0) {
        if (count < node.minimum) count = node.minimum;
        break;
      }
      position += static_cast<uint32_t>(length);
    }
  }
  if (count < node.minimum) return -1;
  if (!endAnchorHolds(node, subject, position)) return -1;
  if (node.has(Capture)) {
    node.captureTable()[node.groupNumber] = {static_cast<int32_t>(begin),
                                             static_cast<int32_t>(position - begin)};
  }
  return static_cast<int32_t>(position - begin);
}

void forgetRuns(const RegexNode& node) {
  node.runKnown = false;
  for (uint32_t i = 0; i < node.childCount(); ++i) forgetRuns(*node.child(i));
}

void markPlainBytes(RegexNode& node) {
  if (node.isLeaf()) {
    node.plainByte = node.minimum == 1 && !node.has(kRepeating | Optional | AnchorStart | AnchorEnd);
    return;
  }
  for (uint32_t i = 0; i < node.childCount(); ++i) markPlainBytes(*node.child(i));
}

StartSet startSetOf(const RegexNode& node) {
  StartSet result = {{}, false};
  if (node.isLeaf()) {
    for (unsigned byte = 0; byte < 256; ++byte) {
      if (node.leafAccepts(static_cast<unsigned char>(byte))) {
        result.bits[byte >> 5] |= 1u << (byte & 31);
      }
    }
    result.canBeEmpty = node.minimum == 0;
    return result;
  }
  if (node.has(Alternation)) {
    StartSet left = startSetOf(*node.child(0));
    StartSet right = startSetOf(*node.child(1));
    for (int i = 0; i < 8; ++i) result.bits[i] = left.bits[i] | right.bits[i];
    result.canBeEmpty = left.canBeEmpty || right.canBeEmpty;
  } else {
    result.canBeEmpty = true;
    for (uint32_t i = 0; i < node.childCount() && result.canBeEmpty; ++i) {
      StartSet child = startSetOf(*node.child(i));
      for (int k = 0; k < 8; ++k) result.bits[k] |= child.bits[k];
      result.canBeEmpty = child.canBeEmpty;
    }
  }
  if (node.minimum == 0) result.canBeEmpty = true;
  return result;
}

}  // namespace bw
