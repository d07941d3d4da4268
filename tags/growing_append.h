// Appending to a text that is built up piece by piece.  The capacity grows
// geometrically here, so that building a text of n bytes from many small
// pieces costs time in proportion to n whatever growth policy the string
// type itself follows.
#ifndef BRINDLEWORK_TAGS_GROWING_APPEND_H
#define BRINDLEWORK_TAGS_GROWING_APPEND_H

#include <cstdint>

#include "foundation/qel_string.h"

namespace bw {

inline void makeRoomFor(QelString& text, uint32_t extra) {
  const uint32_t needed = text.length() + extra;
  if (needed >= text.capacity()) {
    const uint32_t doubled = text.length() * 2;
    text.reserve(needed > doubled ? needed : doubled);
  }
}

inline void appendGrowing(QelString& text, char byte) {
  makeRoomFor(text, 1);
  text.append(byte);
}

inline void appendGrowing(QelString& text, const QelString& piece) {
  makeRoomFor(text, piece.length());
  text.append(piece);
}

}  // namespace bw

#endif
