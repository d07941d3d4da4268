// The module allocator: the two hook slots, the origin tag in front of every
// block, and the aligned blocks that objects are built in.
#include "foundation/allocator.h"

#include <cstdlib>
#include <cstring>

#include "foundation/object.h"

namespace bw {

namespace {

// The hook slots: null at load, written together on every MIni.
HostAllocateFn gHostAllocate = nullptr;
HostReleaseFn gHostRelease = nullptr;

[[noreturn]] void failAllocation() { throw QELObject::MemoryAllocationFailure(); }

}  // namespace

void installAllocatorHooks(HostAllocateFn hostAllocate, HostReleaseFn hostRelease) {
  gHostAllocate = hostAllocate;
  gHostRelease = hostRelease;
}

void* allocate(uint32_t count) {
  // The block is one byte longer than asked for; a request of 0 bytes is a
  // request of 1 byte.  A count whose block size cannot be expressed in the
  // host's 32-bit argument cannot be served at all.
  if (count == UINT32_MAX) failAllocation();
  unsigned char* block;
  if (gHostAllocate != nullptr) {
    block = static_cast<unsigned char*>(gHostAllocate(count + 1));
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
    if (gHostRelease != nullptr) gHostRelease(block);
  } else if (block[0] == kRuntimeBlockTag) {
    std::free(block);
  }
  // Any other tag is not a block of ours; leaving it alone is the only safe
  // answer.
}

// Layout of an aligned block: [origin tag][padding...][uint32 offset][object]
// where offset is the distance from the address allocate returned to the
// object's address.
void* allocateAligned(std::size_t size, std::size_t alignment) {
  if (alignment < alignof(uint32_t)) alignment = alignof(uint32_t);
  const std::size_t pad = alignment - 1 + sizeof(uint32_t);
  if (size > static_cast<std::size_t>(UINT32_MAX - 1) - pad) failAllocation();
  unsigned char* raw = static_cast<unsigned char*>(allocate(static_cast<uint32_t>(size + pad)));
  std::uintptr_t start = reinterpret_cast<std::uintptr_t>(raw) + sizeof(uint32_t);
  std::uintptr_t aligned = (start + alignment - 1) & ~static_cast<std::uintptr_t>(alignment - 1);
  unsigned char* object = reinterpret_cast<unsigned char*>(aligned);
  uint32_t offset = static_cast<uint32_t>(object - raw);
  std::memcpy(object - sizeof(uint32_t), &offset, sizeof offset);
  return object;
}

void releaseAligned(void* block) {
  if (block == nullptr) return;
  unsigned char* object = static_cast<unsigned char*>(block);
  uint32_t offset;
  std::memcpy(&offset, object - sizeof(uint32_t), sizeof offset);
  release(object - offset);
}

}  // namespace bw
