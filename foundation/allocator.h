// The module allocator.
//
// Every block the module takes comes from here.  Before the host has sent MIni
// the blocks come from the runtime heap; afterwards from the host's allocator.
// Each block carries one origin byte in front of the caller's memory, so it is
// always given back to the heap that produced it, even when the hooks were
// installed between its allocation and its release.
#ifndef BRINDLEWORK_FOUNDATION_ALLOCATOR_H
#define BRINDLEWORK_FOUNDATION_ALLOCATOR_H

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

}  // namespace bw

#endif
