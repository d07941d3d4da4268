// The module's replacement global operator new and operator delete, in every
// form, so that every object the module creates with new goes through the
// module allocator.  This file is linked only into the shared module
// (cmake/BrindleModule.cmake), where the version script exports nothing but
// ProcessQELRequest: these definitions bind inside the library and never
// serve the host process's own allocations.  The unit tests link the static
// libraries without this file and test allocate and release directly.
//
// Blocks come from allocateAligned (allocator.h), because allocate's blocks
// start one byte after the origin tag and objects need aligned addresses.
// Failure throws QELObject::MemoryAllocationFailure, the module's one
// exception; the nothrow forms answer null instead.
#include <cstddef>
#include <new>

#include "foundation/allocator.h"

namespace {
inline std::size_t alignmentOf(std::align_val_t alignment) {
  std::size_t a = static_cast<std::size_t>(alignment);
  return a < bw::kDefaultAlignment ? bw::kDefaultAlignment : a;
}

inline void* allocateOrNull(std::size_t size, std::size_t alignment) noexcept {
  try {
    return bw::allocateAligned(size, alignment);
  } catch (...) {
    return nullptr;
  }
}
}  // namespace

void* operator new(std::size_t size) { return bw::allocateAligned(size); }
void* operator new[](std::size_t size) { return bw::allocateAligned(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return allocateOrNull(size, bw::kDefaultAlignment);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return allocateOrNull(size, bw::kDefaultAlignment);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
  return bw::allocateAligned(size, alignmentOf(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
  return bw::allocateAligned(size, alignmentOf(alignment));
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return allocateOrNull(size, alignmentOf(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return allocateOrNull(size, alignmentOf(alignment));
}

void operator delete(void* block) noexcept { bw::releaseAligned(block); }
void operator delete[](void* block) noexcept { bw::releaseAligned(block); }
void operator delete(void* block, std::size_t) noexcept { bw::releaseAligned(block); }
void operator delete[](void* block, std::size_t) noexcept { bw::releaseAligned(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { bw::releaseAligned(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { bw::releaseAligned(block); }
void operator delete(void* block, std::align_val_t) noexcept { bw::releaseAligned(block); }
void operator delete[](void* block, std::align_val_t) noexcept { bw::releaseAligned(block); }
void operator delete(void* block, std::size_t, std::align_val_t) noexcept { bw::releaseAligned(block); }
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept { bw::releaseAligned(block); }
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept {
  bw::releaseAligned(block);
}
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept {
  bw::releaseAligned(block);
}
