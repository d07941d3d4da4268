// A standard-library allocator that takes its blocks from the module
// allocator, so that standard containers used inside a tag request are
// counted against the host's heap like every other block of the module.
#ifndef BRINDLEWORK_TAGS_MODULE_STD_ALLOCATOR_H
#define BRINDLEWORK_TAGS_MODULE_STD_ALLOCATOR_H

#include <cstddef>
#include <cstdint>
#include <limits>

#include "foundation/allocator.h"
#include "foundation/object.h"

namespace bw {

template <typename T>
class ModuleStdAllocator {
 public:
  using value_type = T;

  ModuleStdAllocator() noexcept = default;
  template <typename U>
  ModuleStdAllocator(const ModuleStdAllocator<U>&) noexcept {}

  T* allocate(std::size_t count) {
    const std::size_t bytes = count * sizeof(T);
    // The module allocator counts in 32 bits; a larger request cannot be met.
    if (count > std::numeric_limits<uint32_t>::max() / sizeof(T)) {
      throw QELObject::MemoryAllocationFailure();
    }
    return static_cast<T*>(bw::allocate(static_cast<uint32_t>(bytes)));
  }
  void deallocate(T* block, std::size_t) noexcept { bw::release(block); }

  template <typename U>
  bool operator==(const ModuleStdAllocator<U>&) const noexcept { return true; }
  template <typename U>
  bool operator!=(const ModuleStdAllocator<U>&) const noexcept { return false; }
};

}  // namespace bw

#endif
