// Block storage for body tokens: the first ones inside the arena, then
// blocks that grow geometrically, so a short body costs no block and a huge
// body few large ones.
#include "tags/token_arena.h"

#include <new>

#include "foundation/allocator.h"

namespace bw {

namespace {
constexpr uint32_t kLargestBlock = 512;  // tokens: blocks stay small enough for the heap to recycle cheaply
}  // namespace

struct TokenArena::Block {
  Block* older;
  uint32_t capacity;
  alignas(BodyToken) unsigned char slots[1];  // capacity slots follow

  BodyToken* slot(uint32_t index) {
    return reinterpret_cast<BodyToken*>(slots + static_cast<std::size_t>(index) * sizeof(BodyToken));
  }
};

TokenArena::~TokenArena() {
  while (newest_ != nullptr) {
    Block* older = newest_->older;
    releaseAligned(newest_);
    newest_ = older;
  }
}

BodyToken* TokenArena::make() {
  if (usedInline_ < kInlineTokens) {
    void* place = inline_ + static_cast<std::size_t>(usedInline_++) * sizeof(BodyToken);
    return ::new (place) BodyToken;
  }
  if (newest_ == nullptr || usedInNewest_ == newest_->capacity) {
    const uint32_t count = nextBlockSize_;
    void* raw = allocateAligned(sizeof(Block) + count * sizeof(BodyToken), alignof(Block));
    Block* block = static_cast<Block*>(raw);
    block->older = newest_;
    block->capacity = count;
    newest_ = block;
    usedInNewest_ = 0;
    if (nextBlockSize_ < kLargestBlock) nextBlockSize_ *= 2;
  }
  return ::new (static_cast<void*>(newest_->slot(usedInNewest_++))) BodyToken;
}

void TokenArena::destroy(BodyToken* token) { token->~BodyToken(); }

}  // namespace bw
