// QelString: construction, length management, insertion, extraction,
// removal, trimming and case, with copy on write.  Searching, comparison and
// replaceAll are in qel_string_search.cpp.
#include "foundation/qel_string.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "foundation/allocator.h"

namespace bw {

// The ASCII case tables (constant data, ready before any static constructor).
extern const unsigned char kUpperCaseTable[256] = {
    0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F,
    0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B, 0x1C, 0x1D, 0x1E, 0x1F,
    0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2A, 0x2B, 0x2C, 0x2D, 0x2E, 0x2F,
    0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3A, 0x3B, 0x3C, 0x3D, 0x3E, 0x3F,
    0x40, 0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E, 0x4F,
    0x50, 0x51, 0x52, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5A, 0x5B, 0x5C, 0x5D, 0x5E, 0x5F,
    0x60, 0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E, 0x4F,
    0x50, 0x51, 0x52, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5A, 0x7B, 0x7C, 0x7D, 0x7E, 0x7F,
    0x80, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8A, 0x8B, 0x8C, 0x8D, 0x8E, 0x8F,
    0x90, 0x91, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9A, 0x9B, 0x9C, 0x9D, 0x9E, 0x9F,
    0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xAA, 0xAB, 0xAC, 0xAD, 0xAE, 0xAF,
    0xB0, 0xB1, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6, 0xB7, 0xB8, 0xB9, 0xBA, 0xBB, 0xBC, 0xBD, 0xBE, 0xBF,
    0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xCA, 0xCB, 0xCC, 0xCD, 0xCE, 0xCF,
    0xD0, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD8, 0xD9, 0xDA, 0xDB, 0xDC, 0xDD, 0xDE, 0xDF,
    0xE0, 0xE1, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 0xE9, 0xEA, 0xEB, 0xEC, 0xED, 0xEE, 0xEF,
    0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0xFA, 0xFB, 0xFC, 0xFD, 0xFE, 0xFF,
};

extern const unsigned char kLowerCaseTable[256] = {
    0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F,
    0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B, 0x1C, 0x1D, 0x1E, 0x1F,
    0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2A, 0x2B, 0x2C, 0x2D, 0x2E, 0x2F,
    0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3A, 0x3B, 0x3C, 0x3D, 0x3E, 0x3F,
    0x40, 0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6A, 0x6B, 0x6C, 0x6D, 0x6E, 0x6F,
    0x70, 0x71, 0x72, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7A, 0x5B, 0x5C, 0x5D, 0x5E, 0x5F,
    0x60, 0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6A, 0x6B, 0x6C, 0x6D, 0x6E, 0x6F,
    0x70, 0x71, 0x72, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7A, 0x7B, 0x7C, 0x7D, 0x7E, 0x7F,
    0x80, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8A, 0x8B, 0x8C, 0x8D, 0x8E, 0x8F,
    0x90, 0x91, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9A, 0x9B, 0x9C, 0x9D, 0x9E, 0x9F,
    0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xAA, 0xAB, 0xAC, 0xAD, 0xAE, 0xAF,
    0xB0, 0xB1, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6, 0xB7, 0xB8, 0xB9, 0xBA, 0xBB, 0xBC, 0xBD, 0xBE, 0xBF,
    0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xCA, 0xCB, 0xCC, 0xCD, 0xCE, 0xCF,
    0xD0, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD8, 0xD9, 0xDA, 0xDB, 0xDC, 0xDD, 0xDE, 0xDF,
    0xE0, 0xE1, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 0xE9, 0xEA, 0xEB, 0xEC, 0xED, 0xEE, 0xEF,
    0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0xFA, 0xFB, 0xFC, 0xFD, 0xFE, 0xFF,
};

namespace {

// The shared empty representation: a StringRep over static storage, built by
// constant initialisation, so it exists before any static constructor of the
// module runs, needs no allocation and is never destroyed (the union's
// destructor does nothing).  It keeps one reference for itself.
alignas(16) unsigned char gEmptyStorage[32] = {};

union EmptyRepHolder {
  StringRep rep;
  constexpr EmptyRepHolder() : rep(gEmptyStorage, 32, ByteBuffer::StaticStorage{}) {}
  ~EmptyRepHolder() {}
};

EmptyRepHolder gEmpty;

inline StringRep* emptyRep() { return &gEmpty.rep; }

inline StringRep* takeEmpty() {
  StringRep* rep = emptyRep();
  string_internal::retain(rep);
  return rep;
}

using string_internal::ownsAlone;

// The capacity rule, refusing lengths whose capacity does not fit 32 bits.
inline uint32_t checkedCapacityFor(uint64_t n) {
  if (n >= 0xFFFFFFE0u) failAllocation();
  return capacityFor(static_cast<uint32_t>(n));
}

// The capacity a unique representation grows to when n bytes no longer fit.
// Below 4 KiB this is the capacity rule; from there on the buffer grows by at
// least half its size, so that text built by many appends (page output,
// results of the codecs) costs time in proportion to its length rather than
// to its square.
inline uint32_t growthCapacity(uint32_t oldCapacity, uint32_t n) {
  uint32_t capacity = checkedCapacityFor(n);
  if (oldCapacity >= 4096) {
    uint64_t headroom = static_cast<uint64_t>(oldCapacity) + oldCapacity / 2;
    if (headroom > capacity) capacity = checkedCapacityFor(std::min<uint64_t>(headroom, 0xFFFFFFDFu));
  }
  return capacity;
}

// Whether p points into the representation's buffer.
inline bool pointsInto(const StringRep* rep, const void* p) {
  auto start = reinterpret_cast<std::uintptr_t>(rep->data());
  auto at = reinterpret_cast<std::uintptr_t>(p);
  return rep->data() != nullptr && at >= start && at < start + rep->capacity();
}

inline char* bytesOf(StringRep* rep) { return reinterpret_cast<char*>(rep->data()); }

}  // namespace

StringRep* sharedEmptyRep() { return emptyRep(); }

StringRep* const string_internal::kEmptyRep = &gEmpty.rep;

std::atomic<bool> string_internal::gLoadTimeTextsFrozen{false};

namespace {
bool gFrozenOnce = false;  // written by the first MIni only, before calls may overlap
}  // namespace

void freezeLoadTimeTexts() {
  // Later MIni requests find the texts frozen; every representation made
  // from the first one on is a call's own.
  if (gFrozenOnce) return;
  gFrozenOnce = true;
  string_internal::gLoadTimeTextsFrozen.store(true, std::memory_order_relaxed);
  // Exit handlers run in the reverse order of their registration, both at
  // unload and at process exit, and the constant tables registered their
  // destructors while the module loaded: the thaw registered now runs
  // before any of them.
  std::atexit(thawLoadTimeTexts);
}

void thawLoadTimeTexts() { string_internal::gLoadTimeTextsFrozen.store(false, std::memory_order_relaxed); }

// ---------------------------------------------------------------------------
// StringRep

StringRep* StringRep::create(uint32_t n) {
  // The capacity is checked before anything is allocated, so that a refused
  // length leaves nothing behind.
  const uint32_t capacity = checkedCapacityFor(n);
  if (capacity > SIZE_MAX - sizeof(StringRep)) failAllocation();  // 32-bit targets
  // A representation needs only its own alignment, not operator new's.
  void* block = allocateAligned(sizeof(StringRep) + capacity, alignof(StringRep));
  auto* storage = static_cast<unsigned char*>(block) + sizeof(StringRep);
  auto* rep = new (block) StringRep(storage, capacity, StaticStorage{});
  rep->inlineStorage = true;
  rep->madeAtLoad = !string_internal::gLoadTimeTextsFrozen.load(std::memory_order_relaxed);
  rep->length = n;
  storage[n] = 0;
  return rep;
}

StringRep::~StringRep() {
  if (inlineStorage) data_ = nullptr;  // goes with the block itself
}

void StringRep::regrow(uint32_t newCapacity, uint32_t keep) {
  unsigned char* block = static_cast<unsigned char*>(allocate(newCapacity));
  if (keep != 0) std::memcpy(block, data_, keep);
  if (inlineStorage)
    inlineStorage = false;
  else
    release(data_);
  data_ = block;
  size_ = newCapacity;
}

// ---------------------------------------------------------------------------
// Construction and assignment

QelString::QelString(char byte) : rep_(StringRep::create(1)) { rep_->data()[0] = static_cast<unsigned char>(byte); }

QelString::QelString(const char* bytes, uint32_t count) {
  if (count == 0) {
    rep_ = takeEmpty();
  } else {
    rep_ = StringRep::create(count);
    std::memcpy(rep_->data(), bytes, count);
  }
}

QelString::QelString(const char* text)
    : QelString(text, text == nullptr ? 0u : static_cast<uint32_t>(std::strlen(text))) {}

QelString::QelString(QelString&& other) noexcept : QELObject(other), rep_(other.rep_) {
  other.rep_ = takeEmpty();
}

void QelString::destroyRep(StringRep* rep) {
  // The shared empty representation keeps a reference of its own, so it
  // never gets here; the test only guards against a miscounted release.
  if (rep != emptyRep()) delete rep;
}

QelString& QelString::operator=(const QelString& other) {
  assign(other);
  return *this;
}

QelString& QelString::operator=(QelString&& other) noexcept {
  if (this != &other) {
    releaseRep();
    rep_ = other.rep_;
    other.rep_ = takeEmpty();
  }
  return *this;
}

QelString& QelString::operator=(const char* text) {
  assign(text);
  return *this;
}

void QelString::assign(char byte) { assign(&byte, 1); }

void QelString::assign(const char* bytes, uint32_t count) {
  if (count == 0) {
    clear();
    return;
  }
  StringRep* rep = rep_;
  if (ownsAlone(rep) && count < rep->capacity()) {
    std::memmove(rep->data(), bytes, count);  // the bytes may lie in this very buffer
  } else {
    StringRep* fresh = StringRep::create(count);
    std::memcpy(fresh->data(), bytes, count);  // the old representation still holds them
    releaseRep();
    rep_ = rep = fresh;
  }
  rep->length = count;
  rep->data()[count] = 0;
}

void QelString::assign(const char* text) {
  assign(text, text == nullptr ? 0u : static_cast<uint32_t>(std::strlen(text)));
}

void QelString::assign(const QelString& other) {
  if (rep_ == other.rep_) return;
  string_internal::retain(other.rep_);
  releaseRep();
  rep_ = other.rep_;
}

void QelString::clear() {
  if (rep_ == emptyRep()) return;
  releaseRep();
  rep_ = takeEmpty();
}

void QelString::setCharAt(uint32_t position, char byte) {
  if (position >= rep_->length) return;
  makeUnique();
  rep_->data()[position] = static_cast<unsigned char>(byte);
}

// ---------------------------------------------------------------------------
// Length management

char* QelString::setLengthSlowly(uint32_t n) {
  StringRep* rep = rep_;
  if (ownsAlone(rep)) {
    if (n >= rep->capacity()) rep->regrow(growthCapacity(rep->capacity(), n), rep->length);
    rep->length = n;
  } else {
    StringRep* fresh = StringRep::create(n);
    uint32_t keep = std::min(rep->length, n);
    if (keep != 0) std::memcpy(fresh->data(), rep->data(), keep);
    releaseRep();
    rep_ = rep = fresh;
  }
  rep->data()[n] = 0;
  return bytesOf(rep) + n;
}

void QelString::reserve(uint32_t n) {
  StringRep* rep = rep_;
  if (ownsAlone(rep)) {
    if (n >= rep->capacity()) rep->regrow(checkedCapacityFor(n), rep->length + 1);
  } else {
    uint32_t length = rep->length;
    StringRep* fresh = StringRep::create(std::max(n, length));
    if (length != 0) std::memcpy(fresh->data(), rep->data(), length);
    fresh->length = length;
    fresh->data()[length] = 0;
    releaseRep();
    rep_ = fresh;
  }
}

void QelString::makeUnique() {
  if (!ownsAlone(rep_)) setLength(rep_->length);
}

char* QelString::lockBuffer(uint32_t n) {
  if (rep_->locked) return nullptr;
  setLength(n);
  rep_->locked = true;
  return bytesOf(rep_);
}

void QelString::unlockBuffer(uint32_t n) {
  StringRep* rep = rep_;
  if (!rep->locked) return;
  uint32_t limit = rep->capacity() - 1;
  if (n == kToEnd) {
    const void* end = std::memchr(rep->data(), 0, limit);
    n = end == nullptr ? limit : static_cast<uint32_t>(static_cast<const unsigned char*>(end) - rep->data());
  }
  if (n > limit) n = limit;
  rep->length = n;
  rep->data()[n] = 0;
  rep->locked = false;
}

// ---------------------------------------------------------------------------
// Insertion

void QelString::insert(const char* bytes, uint32_t count, uint32_t position) {
  if (count == 0) return;
  uint32_t length = rep_->length;
  if (position > length) position = length;
  // Bytes taken from this very string stay valid in the old representation
  // while the holder keeps it alive (the write then goes to a new one).
  QelString holder;
  if (pointsInto(rep_, bytes)) holder = *this;
  if (static_cast<uint64_t>(length) + count > 0xFFFFFFDFu) failAllocation();
  setLength(length + count);
  char* data = bytesOf(rep_);
  if (position < length) std::memmove(data + position + count, data + position, length - position);
  std::memcpy(data + position, bytes, count);
}

void QelString::insert(char byte, uint32_t position) { insert(&byte, 1, position); }

void QelString::insert(const char* text, uint32_t position) {
  if (text != nullptr) insert(text, static_cast<uint32_t>(std::strlen(text)), position);
}

void QelString::insert(const QelString& text, uint32_t position) {
  QelString copy(text);  // inserting a string into itself works from the copy
  insert(copy.data(), copy.length(), position);
}

void QelString::append(char byte) {
  StringRep* rep = rep_;
  uint32_t length = rep->length;
  if (ownsAlone(rep) && length + 1 < rep->capacity()) {
    rep->data()[length] = static_cast<unsigned char>(byte);
    rep->data()[length + 1] = 0;
    rep->length = length + 1;
    return;
  }
  insert(&byte, 1, kToEnd);
}

void QelString::append(const char* text) { insert(text, kToEnd); }
void QelString::append(const char* bytes, uint32_t count) { insert(bytes, count, kToEnd); }
void QelString::append(const QelString& text) { insert(text, kToEnd); }
void QelString::prepend(char byte) { insert(&byte, 1, 0); }
void QelString::prepend(const QelString& text) { insert(text, 0); }

QelString QelString::plus(const char* text) const {
  QelString result(*this);
  result.append(text);
  return result;
}

// ---------------------------------------------------------------------------
// Extraction, removal and replacement of a range

QelString QelString::substring(uint32_t position, uint32_t count) const {
  uint32_t length = rep_->length;
  if (position >= length) return QelString();
  if (count > length - position) count = length - position;
  if (position == 0 && count == length) return *this;
  return QelString(cString() + position, count);
}

void QelString::cut(uint32_t position, uint32_t count, QelString& out) {
  out.clear();
  uint32_t length = rep_->length;
  if (position >= length) return;
  if (count > length - position) count = length - position;
  out.assign(cString() + position, count);
  erase(position, count);
}

void QelString::erase(uint32_t position, uint32_t count) {
  uint32_t length = rep_->length;
  if (position >= length) return;
  if (count > length - position) count = length - position;
  if (count == 0) return;
  uint32_t tail = length - position - count;
  if (!ownsAlone(rep_)) {
    // Shared: build the survivor directly instead of copying what goes.
    StringRep* fresh = StringRep::create(length - count);
    std::memcpy(fresh->data(), rep_->data(), position);
    std::memcpy(fresh->data() + position, rep_->data() + position + count, tail);
    releaseRep();
    rep_ = fresh;
    return;
  }
  char* data = bytesOf(rep_);
  std::memmove(data + position, data + position + count, tail);
  setLength(length - count);
}

uint32_t QelString::removeLeft(uint32_t n) {
  n = std::min(n, rep_->length);
  if (n != 0) erase(0, n);
  return n;
}

uint32_t QelString::removeRight(uint32_t n) {
  n = std::min(n, rep_->length);
  if (n != 0) erase(rep_->length - n, n);
  return n;
}

int32_t QelString::replaceRange(uint32_t position, uint32_t count, const char* bytes, uint32_t newCount) {
  uint32_t length = rep_->length;
  if (position >= length) return 0;
  if (count > length - position) count = length - position;
  QelString holder;
  if (newCount != 0 && pointsInto(rep_, bytes)) holder = *this;
  uint32_t tail = length - position - count;
  uint32_t newLength;
  if (newCount > count) {
    if (static_cast<uint64_t>(length) + (newCount - count) > 0xFFFFFFDFu) failAllocation();
    newLength = length + (newCount - count);
    setLength(newLength);
    char* data = bytesOf(rep_);
    std::memmove(data + position + newCount, data + position + count, tail);
  } else {
    makeUnique();
    newLength = length - (count - newCount);
    if (newCount < count) {
      char* data = bytesOf(rep_);
      std::memmove(data + position + newCount, data + position + count, tail);
      setLength(newLength);
    }
  }
  if (newCount != 0) std::memcpy(bytesOf(rep_) + position, bytes, newCount);
  return static_cast<int32_t>(static_cast<int64_t>(newLength) - static_cast<int64_t>(length));
}

int32_t QelString::replaceRange(uint32_t position, uint32_t count, char byte) {
  return replaceRange(position, count, &byte, 1);
}

int32_t QelString::replaceRange(uint32_t position, uint32_t count, const QelString& text) {
  QelString copy(text);
  return replaceRange(position, count, copy.data(), copy.length());
}

// ---------------------------------------------------------------------------
// Trimming

namespace {
// The bytes of a zero-terminated set.  Trim sets are a few bytes long
// (blanks, a quote), so membership is a short scan of the set rather than a
// 256-entry table cleared on every call.
class ByteSet {
 public:
  explicit ByteSet(const char* set)
      : bytes_(reinterpret_cast<const unsigned char*>(set == nullptr ? "" : set)) {}
  bool contains(unsigned char byte) const {
    for (const unsigned char* p = bytes_; *p != 0; ++p) {
      if (*p == byte) return true;
    }
    return false;
  }

 private:
  const unsigned char* bytes_;
};
}  // namespace

uint32_t QelString::trimLeft(const char* set) {
  const ByteSet bytes(set);
  const unsigned char* data = rep_->data();
  uint32_t length = rep_->length, n = 0;
  while (n < length && bytes.contains(data[n])) ++n;
  if (n != 0) erase(0, n);
  return n;
}

uint32_t QelString::trimRight(const char* set) {
  const ByteSet bytes(set);
  const unsigned char* data = rep_->data();
  uint32_t length = rep_->length, n = 0;
  while (n < length && bytes.contains(data[length - 1 - n])) ++n;
  if (n != 0) erase(length - n, n);
  return n;
}

uint32_t QelString::trim(const char* set) {
  uint32_t removed = trimLeft(set);
  return removed + trimRight(set);
}

// ---------------------------------------------------------------------------
// Case and order

namespace {
void mapRange(QelString& text, uint32_t position, uint32_t count, const unsigned char* table) {
  uint32_t length = text.length();
  if (position >= length || count == 0) return;
  if (count > length - position) count = length - position;
  text.makeUnique();
  // makeUnique leaves a representation of our own: writing through the
  // terminator pointer's base is writing to it.
  unsigned char* data = reinterpret_cast<unsigned char*>(const_cast<char*>(text.cString()));
  for (uint32_t i = position, end = position + count; i < end; ++i) {
    unsigned char mapped = table[data[i]];
    if (mapped != data[i]) data[i] = mapped;
  }
}
}  // namespace

void QelString::toUpper(uint32_t position, uint32_t count) { mapRange(*this, position, count, kUpperCaseTable); }
void QelString::toLower(uint32_t position, uint32_t count) { mapRange(*this, position, count, kLowerCaseTable); }
void QelString::toUpper() { toUpper(0, kToEnd); }
void QelString::toLower() { toLower(0, kToEnd); }

void QelString::reverse() {
  uint32_t length = rep_->length;
  if (length < 2) return;
  makeUnique();
  std::reverse(bytesOf(rep_), bytesOf(rep_) + length);
}

}  // namespace bw
