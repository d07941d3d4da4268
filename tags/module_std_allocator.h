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
    // A count whose size does not even fit the multiplication cannot be met.
    if (count > std::numeric_limits<std::size_t>::max() / sizeof(T)) {
      throw QELObject::MemoryAllocationFailure();
    }
    const std::size_t alignment = alignof(T) > kDefaultAlignment ? alignof(T) : kDefaultAlignment;
    return static_cast<T*>(bw::allocateAligned(bytes, alignment));
  }
  void deallocate(T* block, std::size_t) noexcept { bw::releaseAligned(block); }

  template <typename U>
  bool operator==(const ModuleStdAllocator<U>&) const noexcept { return true; }
  template <typename U>
  bool operator!=(const ModuleStdAllocator<U>&) const noexcept { return false; }
};

}  // namespace bw

#endif
