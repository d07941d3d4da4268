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

class TextByteSource : public ByteSource {
 public:
  explicit TextByteSource(const QelString& text);
  ~TextByteSource() override;
  bool nextByte(char& byte) override;

 private:
  QelString text_;  // our own copy (shared, copy on write)
  uint32_t position_ = 0;
};

}  // namespace bw

#endif
