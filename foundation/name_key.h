// NameKey: a name matched by a 32-bit CRC-32 of its (case-folded) text.
//
// Tag names, parameter names and keywords are all NameKeys built with
// IgnoreCase, so names match regardless of ASCII letter case and comparing
// two names is one 32-bit comparison.
#ifndef BRINDLEWORK_FOUNDATION_NAME_KEY_H
#define BRINDLEWORK_FOUNDATION_NAME_KEY_H

#include <cstdint>

#include "foundation/qel_string.h"

namespace bw {

// CRC-32 (reflected polynomial 0xEDB88320, register starting at 0) of the
// bytes, complemented: the hash of a NameKey made without IgnoreCase, so the
// empty text gives 0xFFFFFFFF.
uint32_t crc32Of(const char* bytes, uint32_t count);

// The hash a NameKey made from these bytes with these options would have,
// for looking a name up without making a key.
uint32_t nameHashOf(const char* bytes, uint32_t count, uint32_t options = IgnoreCase);

// Whether count bytes at a and b are equal with "A" to "Z" read as "a" to
// "z", compared eight bytes a step.
bool sameNameIgnoringCase(const char* a, const char* b, uint32_t count);

class NameKey : public QELObject {
 public:
  NameKey();
  NameKey(const NameKey& other) = default;
  NameKey& operator=(const NameKey& other) = default;
  NameKey(const QelString& text, uint32_t options = IgnoreCase);
  NameKey(const char* text, uint32_t options = IgnoreCase);
  NameKey(char byte, uint32_t options = IgnoreCase);

  void assign(const NameKey& other) { *this = other; }
  bool equals(const NameKey& other) const { return hash_ == other.hash_; }
  bool operator==(const NameKey& other) const { return equals(other); }
  bool operator!=(const NameKey& other) const { return !equals(other); }
  // The name exactly as it was supplied.
  const QelString& text() const { return text_; }
  uint32_t hash() const { return hash_; }

 private:
  QelString text_;
  uint32_t hash_;
};

}  // namespace bw

#endif
