// The counting heap of the fuzz targets.
#include "fuzz/fuzz_check.h"

#include "foundation/allocator.h"

namespace bw::fuzz {
namespace {

void* BW_CALL countingAllocate(uint32_t count) {
  void* block = std::malloc(count == 0 ? 1 : count);
  if (block != nullptr) ++outstandingBlocks();
  return block;
}

void BW_CALL countingRelease(void* block) {
  if (block == nullptr) return;
  --outstandingBlocks();
  std::free(block);
}

}  // namespace

long& outstandingBlocks() {
  static long count = 0;
  return count;
}

void installCountingHeap() {
  static bool installed = false;
  if (installed) return;
  installAllocatorHooks(countingAllocate, countingRelease);
  installed = true;
}

}  // namespace bw::fuzz
