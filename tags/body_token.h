// BodyToken: one piece of a scanned tag body, either a run of plain text or
// one markup tag, linked to its neighbours and, once paired, to its partner.
//
// A token's text is a view of the scanned body, which its TagBody keeps: a
// body cut into tokens costs no string per token, and neighbouring tokens
// are neighbouring bytes, so a run of them is one view too.
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

// Bytes of a scanned body: a pointer and a count, valid while the body that
// holds them lives.  Built from a string only to pass one where a token's
// text is expected (the string must outlive the view).
struct TokenText {
  const char* bytes = "";
  uint32_t count = 0;

  TokenText() = default;
  TokenText(const char* b, uint32_t n) : bytes(b), count(n) {}
  TokenText(const QelString& text) : bytes(text.data()), count(text.length()) {}  // NOLINT: implicit on purpose
  const char* data() const { return bytes; }
  uint32_t length() const { return count; }
  const char* end() const { return bytes + count; }
};

class BodyToken : public QELObject {
 public:
  BodyToken() = default;
  ~BodyToken() override;
  BodyToken(const BodyToken&) = delete;
  BodyToken& operator=(const BodyToken&) = delete;

  BodyToken* next = nullptr;
  BodyToken* prev = nullptr;
  TokenText text;  // the bytes exactly as they stand in the body
  // For a paired opening tag its end tag, for a paired end tag its opening
  // tag; null otherwise.  End tags never carry kPairedFlag.
  BodyToken* partner = nullptr;
  uint8_t kind = kTextToken;
};

}  // namespace bw

#endif
