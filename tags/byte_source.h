// What the tag-body scanner reads from: a source of bytes delivered one at a
// time.
//
// The scanner only ever needs "the next byte, or the end", so that is the
// whole interface.  TextByteSource serves a QelString and ends at its first 0
// byte, which is the terminator unless the text itself holds one: a body is
// never scanned past an embedded 0.
#ifndef BRINDLEWORK_TAGS_BYTE_SOURCE_H
#define BRINDLEWORK_TAGS_BYTE_SOURCE_H

#include <cstdint>

#include "foundation/object.h"
#include "foundation/qel_string.h"

namespace bw {

class ByteSource : public QELObject {
 public:
  ~ByteSource() override;
  // Stores the next byte and returns true, or returns false when exhausted.
  virtual bool nextByte(char& byte) = 0;
};

class TextByteSource final : public ByteSource {
 public:
  explicit TextByteSource(const QelString& text);
  ~TextByteSource() override;
  // Inline and final, so the scanner's loop calls it directly.
  bool nextByte(char& byte) override {
    const char next = text_.cString()[position_];
    if (next == '\0') return false;
    byte = next;
    ++position_;
    return true;
  }
  // The number of bytes from the current position on that are members of
  // the set (indexed by byte; the entry for 0 must be false, so the run
  // ends at the terminator); the scanner takes such a run in one step with
  // rest() and skip(count).
  uint32_t runWhile(const bool* set) const {
    const unsigned char* start = reinterpret_cast<const unsigned char*>(rest());
    const unsigned char* p = start;
    while (set[*p]) ++p;
    return static_cast<uint32_t>(p - start);
  }
  const char* rest() const { return text_.cString() + position_; }
  void skip(uint32_t count) { position_ += count; }

 private:
  QelString text_;  // our own copy (shared, copy on write)
  uint32_t position_ = 0;
};

}  // namespace bw

#endif
