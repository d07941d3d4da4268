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
constexpr std::size_t kDefaultAlignment = __STDCPP_DEFAULT_NEW_ALIGNMENT__;
void* allocateAligned(std::size_t size, std::size_t alignment = kDefaultAlignment);
// Gives back a block from allocateAligned; null is ignored.
void releaseAligned(void* block);

}  // namespace bw

#endif
