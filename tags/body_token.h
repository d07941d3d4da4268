// BodyToken: one piece of a scanned tag body, either a run of plain text or
// one markup tag, linked to its neighbours and, once paired, to its partner.
//
// The kind is a small set of flags; the combinations that occur are named
// below so that callers compare against a name rather than a number.
#ifndef BRINDLEWORK_TAGS_BODY_TOKEN_H
#define BRINDLEWORK_TAGS_BODY_TOKEN_H

#include <cstdint>

#include "foundation/object.h"
#include "foundation/qel_string.h"

namespace bw {

// Flags of BodyToken::kind.
constexpr uint8_t kMarkupFlag = 0x02;   // the token is a tag
constexpr uint8_t kPairedFlag = 0x10;   // an opening tag that found its end tag
constexpr uint8_t kClosingFlag = 0x20;  // an end tag, text begins with "</"
constexpr uint8_t kQelFlag = 0x80;      // the name is "qel" + letter or digit...

// The kinds that occur.
constexpr uint8_t kTextToken = 0x00;
constexpr uint8_t kTagToken = 0x02;
constexpr uint8_t kEndTagToken = 0x22;
constexpr uint8_t kQelTagToken = 0x82;
constexpr uint8_t kQelEndTagToken = 0xA2;
constexpr uint8_t kPairedTagToken = 0x12;
constexpr uint8_t kPairedQelTagToken = 0x92;

class BodyToken : public QELObject {
 public:
  BodyToken() = default;
  ~BodyToken() override;
  BodyToken(const BodyToken&) = delete;
  BodyToken& operator=(const BodyToken&) = delete;

  BodyToken* next = nullptr;
  BodyToken* prev = nullptr;
  QelString text;  // the bytes exactly as they stand in the body
  // For a paired opening tag its end tag, for a paired end tag its opening
  // tag; null otherwise.  End tags never carry kPairedFlag.
  BodyToken* partner = nullptr;
  uint8_t kind = kTextToken;
};

}  // namespace bw

#endif
