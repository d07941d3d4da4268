// The module allocator: the two hook slots, the origin tag in front of every
// block (aligned blocks for objects are built on top, inline, in allocator.h).
//
// Calls on several threads read the slots on every allocation while a later
// MIni may write them, so the slots are atomic: a read sees one whole pointer,
// never a torn one, and costs what a plain load costs.
#include "foundation/allocator.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "foundation/object.h"

namespace bw {

namespace {

// The hook slots: null at load, written together on every MIni.
std::atomic<HostAllocateFn> gHostAllocate{nullptr};
std::atomic<HostReleaseFn> gHostRelease{nullptr};

}  // namespace

void failAllocation() { throw QELObject::MemoryAllocationFailure(); }

void installAllocatorHooks(HostAllocateFn hostAllocate, HostReleaseFn hostRelease) {
  gHostAllocate.store(hostAllocate, std::memory_order_release);
  gHostRelease.store(hostRelease, std::memory_order_release);
}

void* allocate(uint32_t count) {
  // The block is one byte longer than asked for; a request of 0 bytes is a
  // request of 1 byte.  A count whose block size cannot be expressed in the
  // host's 32-bit argument cannot be served at all.
  if (count == UINT32_MAX) failAllocation();
  unsigned char* block;
  const HostAllocateFn hostAllocate = gHostAllocate.load(std::memory_order_acquire);
  if (hostAllocate != nullptr) {
    block = static_cast<unsigned char*>(hostAllocate(count + 1));
    // A null from the host is treated like an exhausted runtime heap, so no caller ever sees a null block.
    if (block == nullptr) failAllocation();
    block[0] = kHostBlockTag;
  } else {
    block = static_cast<unsigned char*>(std::malloc(static_cast<std::size_t>(count) + 1));
    if (block == nullptr) failAllocation();
    block[0] = kRuntimeBlockTag;
  }
  return block + 1;
}

void release(void* pointer) {
  if (pointer == nullptr) return;
  unsigned char* block = static_cast<unsigned char*>(pointer) - 1;
  if (block[0] == kHostBlockTag) {
    // A host block released after a later MIni handed over no release
    // function cannot go back to the host: it is kept (never touched again).
    const HostReleaseFn hostRelease = gHostRelease.load(std::memory_order_acquire);
    if (hostRelease != nullptr) hostRelease(block);
  } else if (block[0] == kRuntimeBlockTag) {
    std::free(block);
  }
  // Any other tag is not a block of ours; leaving it alone is the only safe
  // answer.
}

}  // namespace bw
