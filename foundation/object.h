// The roots of the library's class tree and the raw byte block.
//
// QELObject routes every heap object of the library through the module
// allocator (its class operators new and delete), so that objects are counted
// against the host's heap even where no global replacement is linked.
// QELObject::MemoryAllocationFailure is the only exception the library raises.
#ifndef BRINDLEWORK_FOUNDATION_OBJECT_H
#define BRINDLEWORK_FOUNDATION_OBJECT_H

#include <cstddef>
#include <cstdint>
#include <new>

#include "foundation/allocator.h"

namespace bw {

class QELException {
 public:
  virtual ~QELException();
  // A new default-constructed QELException from the module allocator.
  virtual QELException* newInstance() const;
  // A static, zero-filled text: the description reads as empty.
  virtual const char* description() const;

  // Exceptions made with new (newInstance) come from the module allocator.
  static void* operator new(std::size_t size);
  static void operator delete(void* block) noexcept;
  static void* operator new(std::size_t, void* place) noexcept { return place; }
  static void operator delete(void*, void*) noexcept {}
};

class QELObject {
 public:
  class MemoryAllocationFailure : public QELException {
   public:
    ~MemoryAllocationFailure() override;
  };

  QELObject() = default;
  QELObject(const QELObject&) = default;
  QELObject& operator=(const QELObject&) = default;
  virtual ~QELObject() = default;  // inline: every string and number runs it

  static void* operator new(std::size_t size);
  static void* operator new[](std::size_t size);
  static void operator delete(void* block) noexcept;
  static void operator delete[](void* block) noexcept;
  // Over-aligned classes (alignas above 16) get blocks at their alignment.
  static void* operator new(std::size_t size, std::align_val_t alignment);
  static void* operator new[](std::size_t size, std::align_val_t alignment);
  static void operator delete(void* block, std::align_val_t) noexcept;
  static void operator delete[](void* block, std::align_val_t) noexcept;
  static void* operator new(std::size_t, void* place) noexcept { return place; }
  static void operator delete(void*, void*) noexcept {}
};

// A raw growable block.  Its contents are never initialised by the buffer.
class ByteBuffer : public QELObject {
 public:
  // Marks a buffer over storage that is never released (the shared empty
  // string representation, built at load time without allocating).
  struct StaticStorage {};

  // Inline, because scratch buffers that never allocate are made and dropped
  // on every host exchange.
  explicit ByteBuffer(uint32_t size = 0)
      : data_(size != 0 ? static_cast<unsigned char*>(allocate(size)) : nullptr), size_(size) {}
  ~ByteBuffer() override {
    if (data_ != nullptr) release(data_);
  }
  ByteBuffer(const ByteBuffer&) = delete;
  ByteBuffer& operator=(const ByteBuffer&) = delete;

  // Grows the block when newSize exceeds size (copying the old bytes when
  // keepContents is set); in every case size becomes newSize.
  unsigned char* resize(uint32_t newSize, bool keepContents);
  unsigned char* data() const { return data_; }
  unsigned char* at(uint32_t index) const { return data_ + index; }
  uint32_t size() const { return size_; }

 protected:
  constexpr ByteBuffer(unsigned char* storage, uint32_t size, StaticStorage)
      : data_(storage), size_(size) {}

  unsigned char* data_ = nullptr;
  uint32_t size_ = 0;
};

}  // namespace bw

#endif
