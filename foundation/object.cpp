// The roots of the class tree and the raw byte block; their class operators
// new and delete route every library object through the module allocator.
#include "foundation/object.h"

#include <cstring>
#include <new>

#include "foundation/allocator.h"

namespace bw {

namespace {
// The class's static, zero-filled description text.
const char kExceptionDescription[16] = {};
}  // namespace

QELException::~QELException() = default;

QELException* QELException::newInstance() const { return new QELException(); }

const char* QELException::description() const { return kExceptionDescription; }

void* QELException::operator new(std::size_t size) { return allocateAligned(size); }
void QELException::operator delete(void* block) noexcept { releaseAligned(block); }

QELObject::MemoryAllocationFailure::~MemoryAllocationFailure() = default;

void* QELObject::operator new(std::size_t size) { return allocateAligned(size); }
void* QELObject::operator new[](std::size_t size) { return allocateAligned(size); }
void QELObject::operator delete(void* block) noexcept { releaseAligned(block); }
void QELObject::operator delete[](void* block) noexcept { releaseAligned(block); }
void* QELObject::operator new(std::size_t size, std::align_val_t alignment) {
  return allocateAligned(size, static_cast<std::size_t>(alignment));
}
void* QELObject::operator new[](std::size_t size, std::align_val_t alignment) {
  return allocateAligned(size, static_cast<std::size_t>(alignment));
}
void QELObject::operator delete(void* block, std::align_val_t) noexcept { releaseAligned(block); }
void QELObject::operator delete[](void* block, std::align_val_t) noexcept { releaseAligned(block); }

unsigned char* ByteBuffer::resize(uint32_t newSize, bool keepContents) {
  if (newSize > size_) {
    unsigned char* block = static_cast<unsigned char*>(allocate(newSize));
    if (keepContents && data_ != nullptr) std::memcpy(block, data_, size_);
    release(data_);
    data_ = block;
  }
  size_ = newSize;
  return data_;
}

}  // namespace bw
