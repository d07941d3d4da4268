// The module allocator.
//
// Every block the module takes comes from here.  Before the host has sent MIni
// the blocks come from the runtime heap; afterwards from the host's allocator.
// Each block carries one origin byte in front of the caller's memory, so it is
// always given back to the heap that produced it, even when the hooks were
// installed between its allocation and its release.
#ifndef BRINDLEWORK_FOUNDATION_ALLOCATOR_H
#define BRINDLEWORK_FOUNDATION_ALLOCATOR_H

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "brindlework/module.h"

namespace bw {

// Origin bytes written in front of every block.
constexpr unsigned char kHostBlockTag = 0x55;     // from hostAllocate
constexpr unsigned char kRuntimeBlockTag = 0xAA;  // from the runtime heap

// Stores the host's allocator pair; called on every MIni before anything else.
void installAllocatorHooks(HostAllocateFn hostAllocate, HostReleaseFn hostRelease);

// Returns count usable bytes.  Throws QELObject::MemoryAllocationFailure when
// either heap has no memory (the host allocator answering null included), so
// no caller ever sees a null block.
void* allocate(uint32_t count);

// Gives a block from allocate back to its own heap; null is ignored.
void release(void* block);

// Blocks for objects.  allocate hands out the byte after the origin tag, an
// odd address when the heap's blocks are aligned, which is fine for text but
// not for objects.  allocateAligned takes a block from allocate that is large
// enough to hold size bytes at an address that is a multiple of alignment (a
// power of two; the default is the alignment operator new guarantees), and
// records in front of that address how far it lies from the block's start.
// The class operators new of QELObject and QELException, the collections and
// the module's global operator new all use it.  Throws like allocate (also
// when size cannot be represented in 32 bits).
//
// Both are inline: with the alignment known where they are called, the
// arithmetic folds to a few instructions, and every string is one of them.
constexpr std::size_t kDefaultAlignment = __STDCPP_DEFAULT_NEW_ALIGNMENT__;

// Throws QELObject::MemoryAllocationFailure (out of line, so that this
// header needs nothing of the object base).
[[noreturn]] void failAllocation();

inline void* allocateAligned(std::size_t size, std::size_t alignment = kDefaultAlignment) {
  // Layout: [origin tag][padding...][uint32 offset][object], where offset is
  // the distance from the address allocate returned to the object's address.
  if (alignment < alignof(uint32_t)) alignment = alignof(uint32_t);
  const std::size_t pad = alignment - 1 + sizeof(uint32_t);
  if (size > static_cast<std::size_t>(UINT32_MAX - 1) - pad) failAllocation();
  unsigned char* raw = static_cast<unsigned char*>(allocate(static_cast<uint32_t>(size + pad)));
  const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(raw) + sizeof(uint32_t);
  const std::uintptr_t aligned = (start + alignment - 1) & ~static_cast<std::uintptr_t>(alignment - 1);
  unsigned char* object = reinterpret_cast<unsigned char*>(aligned);
  const uint32_t offset = static_cast<uint32_t>(object - raw);
  std::memcpy(object - sizeof(uint32_t), &offset, sizeof offset);
  return object;
}

// Gives back a block from allocateAligned; null is ignored.
inline void releaseAligned(void* block) {
  if (block == nullptr) return;
  unsigned char* object = static_cast<unsigned char*>(block);
  uint32_t offset;
  std::memcpy(&offset, object - sizeof(uint32_t), sizeof offset);
  release(object - offset);
}

}  // namespace bw

#endif
