// TokenArena: the storage of a TagBody's tokens, taken from the module
// allocator in blocks of many tokens at a time.
//
// A large body has hundreds of thousands of tokens; giving each its own
// block would make the heap, not the scan, the cost of a body.  Tokens are
// constructed in place and destroyed one by one (merge destroys some early);
// the blocks go back to the allocator when the arena goes.
#ifndef BRINDLEWORK_TAGS_TOKEN_ARENA_H
#define BRINDLEWORK_TAGS_TOKEN_ARENA_H

#include <cstdint>

#include "foundation/object.h"
#include "tags/body_token.h"

namespace bw {

class TokenArena : public QELObject {
 public:
  TokenArena() = default;
  ~TokenArena() override;  // releases the blocks; tokens must be destroyed first
  TokenArena(const TokenArena&) = delete;
  TokenArena& operator=(const TokenArena&) = delete;

  // A new, default-constructed token.
  BodyToken* make();
  // Runs the token's destructor; its slot is not reused.
  static void destroy(BodyToken* token);

 private:
  struct Block;
  // The first tokens live in the arena itself (a body is scanned into a
  // local of the tag call), so a short body takes no block for them.
  static constexpr uint32_t kInlineTokens = 16;
  alignas(BodyToken) unsigned char inline_[kInlineTokens * sizeof(BodyToken)];
  uint32_t usedInline_ = 0;
  Block* newest_ = nullptr;
  uint32_t usedInNewest_ = 0;
  uint32_t nextBlockSize_ = 32;  // tokens; doubles up to a cap
};

}  // namespace bw

#endif
