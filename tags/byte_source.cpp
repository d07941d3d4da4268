// The byte sources of the tag-body scanner.  TextByteSource walks the
// terminated bytes of its own copy of the text and stops at the first 0, so
// it never reads past the terminator whatever the text's length says.
#include "tags/byte_source.h"

#include <cstring>

namespace bw {

ByteSource::~ByteSource() = default;

TextByteSource::TextByteSource(const QelString& text) : text_(text) {}

TextByteSource::~TextByteSource() = default;

uint32_t TextByteSource::runBefore(char stop) const {
  const uint32_t length = text_.length();
  if (position_ >= length) return 0;
  const char* start = rest();
  const uint32_t remaining = length - position_;
  const void* found = std::memchr(start, stop, remaining);
  const uint32_t upToStop =
      found == nullptr ? remaining : static_cast<uint32_t>(static_cast<const char*>(found) - start);
  // An embedded 0 ends the text for the scanner, as nextByte sees it.
  const void* zero = std::memchr(start, 0, upToStop);
  return zero == nullptr ? upToStop : static_cast<uint32_t>(static_cast<const char*>(zero) - start);
}

}  // namespace bw
