// The byte sources of the tag-body scanner.  TextByteSource walks the
// terminated bytes of its own copy of the text and stops at the first 0, so
// it never reads past the terminator whatever the text's length says.
#include "tags/byte_source.h"

namespace bw {

ByteSource::~ByteSource() = default;

TextByteSource::TextByteSource(const QelString& text) : text_(text) {}

TextByteSource::~TextByteSource() = default;

}  // namespace bw
