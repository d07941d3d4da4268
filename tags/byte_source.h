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
  // The bytes from the current position up to (not including) the next
  // stop byte, the first 0 or the end, whichever comes first; the scanner
  // takes a run of plain text in one step with skip(count).
  const char* rest() const { return text_.cString() + position_; }
  uint32_t runBefore(char stop) const;
  void skip(uint32_t count) { position_ += count; }

 private:
  QelString text_;  // our own copy (shared, copy on write)
  uint32_t position_ = 0;
};

}  // namespace bw

#endif
