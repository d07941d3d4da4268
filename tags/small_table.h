// Two small containers for the scanner's pairing index, both keeping their
// first entries inside the object, so that the bodies control tags usually
// get (a few tags, a handful of names) cost no block from the heap, and
// larger ones grow into blocks of the module allocator.
//
// SmallArray<T, N>: a growable array of a trivially copyable T.
// KeyHeads<N>: a map from a 64-bit key to a nonzero 32-bit value (0 reads as
// absent), open addressing with linear probing and backward-shift removal,
// never more than half full.
#ifndef BRINDLEWORK_TAGS_SMALL_TABLE_H
#define BRINDLEWORK_TAGS_SMALL_TABLE_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "foundation/allocator.h"
#include "foundation/object.h"

namespace bw {

namespace small_table {
// The byte count of a grown block; a table past what one 32-bit block can
// hold fails like an exhausted heap.
inline uint32_t blockBytes(uint32_t entries, std::size_t entrySize) {
  const uint64_t bytes = static_cast<uint64_t>(entries) * entrySize;
  if (entries == 0 || bytes >= UINT32_MAX) throw QELObject::MemoryAllocationFailure();
  return static_cast<uint32_t>(bytes);
}

// A grown table's block: aligned for its entries (a plain module block
// starts at an odd address), released with the table.
class Block {
 public:
  Block() = default;
  explicit Block(uint32_t bytes) : data_(static_cast<unsigned char*>(allocateAligned(bytes))) {}
  ~Block() { releaseAligned(data_); }
  Block(const Block&) = delete;
  Block& operator=(const Block&) = delete;
  void swap(Block& other) noexcept {
    unsigned char* data = data_;
    data_ = other.data_;
    other.data_ = data;
  }
  unsigned char* data() const { return data_; }

 private:
  unsigned char* data_ = nullptr;
};
}  // namespace small_table

template <typename T, uint32_t N>
class SmallArray {
  static_assert(std::is_trivially_copyable<T>::value, "entries are moved with memcpy");

 public:
  SmallArray() = default;
  SmallArray(const SmallArray&) = delete;
  SmallArray& operator=(const SmallArray&) = delete;

  void push(const T& value) {
    if (size_ == capacity_) grow();
    items()[size_++] = value;
  }
  uint32_t size() const { return size_; }
  // Keeps the first count entries (count <= size).
  void shrinkTo(uint32_t count) { size_ = count; }
  T& operator[](uint32_t index) { return items()[index]; }
  const T& operator[](uint32_t index) const { return items()[index]; }

 private:
  T* items() { return capacity_ == N ? reinterpret_cast<T*>(inline_) : reinterpret_cast<T*>(block_.data()); }
  const T* items() const {
    return capacity_ == N ? reinterpret_cast<const T*>(inline_)
                          : reinterpret_cast<const T*>(block_.data());
  }
  void grow() {
    const uint32_t wanted = capacity_ * 2;
    small_table::Block bigger(small_table::blockBytes(wanted, sizeof(T)));
    std::memcpy(bigger.data(), items(), size_ * sizeof(T));
    block_.swap(bigger);
    capacity_ = wanted;
  }

  alignas(T) unsigned char inline_[N * sizeof(T)];
  uint32_t size_ = 0;
  uint32_t capacity_ = N;
  small_table::Block block_;
};

template <uint32_t N>
class KeyHeads {
  static_assert(N >= 2 && (N & (N - 1)) == 0, "a power of two");

 public:
  // The inline slots are cleared on the first set: most tables of a short
  // body are never used.
  KeyHeads() = default;
  KeyHeads(const KeyHeads&) = delete;
  KeyHeads& operator=(const KeyHeads&) = delete;

  uint32_t get(uint64_t key) const {
    if (!cleared_) return 0;
    const Slot* slots = table();
    for (uint32_t i = home(key);; i = (i + 1) & mask_) {
      if (slots[i].value == 0) return 0;
      if (slots[i].key == key) return slots[i].value;
    }
  }

  // Value 0 removes the key.
  void set(uint64_t key, uint32_t value) {
    if (!cleared_) {
      std::memset(inline_, 0, sizeof inline_);
      cleared_ = true;
    }
    Slot* slots = table();
    uint32_t i = home(key);
    while (slots[i].value != 0 && slots[i].key != key) i = (i + 1) & mask_;
    if (slots[i].value != 0) {
      if (value != 0) {
        slots[i].value = value;
      } else {
        remove(i);
      }
      return;
    }
    if (value == 0) return;
    if ((count_ + 1) * 2 > mask_ + 1) {
      grow();
      set(key, value);
      return;
    }
    slots[i] = Slot{key, value};
    ++count_;
  }

 private:
  struct Slot {
    uint64_t key;
    uint32_t value;  // 0: empty
  };

  Slot* table() { return mask_ + 1 == N ? inline_ : reinterpret_cast<Slot*>(block_.data()); }
  const Slot* table() const {
    return mask_ + 1 == N ? inline_ : reinterpret_cast<const Slot*>(block_.data());
  }
  uint32_t home(uint64_t key) const {
    return static_cast<uint32_t>((key * 0x9E3779B97F4A7C15ull) >> 32) & mask_;
  }

  // Backward-shift removal: later entries of the same probe run move up, so
  // a lookup never stops early at the hole.
  void remove(uint32_t hole) {
    Slot* slots = table();
    --count_;
    for (uint32_t next = (hole + 1) & mask_; slots[next].value != 0; next = (next + 1) & mask_) {
      const uint32_t want = home(slots[next].key);
      // Move the entry when the hole lies on its way from its home to where it is.
      if (((next - want) & mask_) >= ((next - hole) & mask_)) {
        slots[hole] = slots[next];
        hole = next;
      }
    }
    slots[hole].value = 0;
  }

  void grow() {
    const uint32_t oldCapacity = mask_ + 1;
    const uint32_t capacity = oldCapacity * 2;
    small_table::Block bigger(small_table::blockBytes(capacity, sizeof(Slot)));
    std::memset(bigger.data(), 0, capacity * sizeof(Slot));
    small_table::Block old;
    old.swap(block_);
    Slot* oldSlots = oldCapacity == N ? inline_ : reinterpret_cast<Slot*>(old.data());
    block_.swap(bigger);
    mask_ = capacity - 1;
    count_ = 0;
    Slot* slots = table();
    for (uint32_t i = 0; i < oldCapacity; ++i) {
      if (oldSlots[i].value == 0) continue;
      uint32_t j = home(oldSlots[i].key);
      while (slots[j].value != 0) j = (j + 1) & mask_;
      slots[j] = oldSlots[i];
      ++count_;
    }
  }

  Slot inline_[N];
  bool cleared_ = false;
  uint32_t mask_ = N - 1;
  uint32_t count_ = 0;
  small_table::Block block_;
};

}  // namespace bw

#endif
