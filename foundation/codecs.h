// Text codecs shared by the tags: radix text, integer parsing, URL and HTML
// encoding and decoding, and backslash escapes.
//
// All work byte by byte and report no errors: malformed input passes through.
// Only htmlEncode knows a character set: it leaves UTF-8 characters whole.
// Each decoder runs in time close to linear in its input.
#ifndef BRINDLEWORK_FOUNDATION_CODECS_H
#define BRINDLEWORK_FOUNDATION_CODECS_H

#include <cstdint>

#include "foundation/qel_string.h"

namespace bw {

// Digits of value in base (2..36; anything else, 1 included, gives the empty text), at
// least minimumDigits long (0 counts as 1).
QelString toRadixText(uint32_t value, uint8_t base, uint8_t minimumDigits);

// Trims " \t\r\n", takes one sign, reads digits up to the first non-digit
// (base 10 skips ","); 32-bit arithmetic that wraps.
int32_t parseInteger(const QelString& text, uint8_t base);
// The same over count bytes (a 0 byte ends the text), without a copy.
int32_t parseInteger(const char* bytes, uint32_t count, uint8_t base);

QelString urlEncode(const QelString& text, bool encodeSeparators);
// In place; returns whether anything changed.
bool urlDecode(QelString& text);

// The module's entity table: 100 names, in the table's fixed order.
struct HtmlEntity {
  const char* name;  // the whole reference, "&" to ";"
  unsigned char value;
};
extern const HtmlEntity kHtmlEntities[100];
// Spellings the encoder once wrote for five of those bytes; the decoder reads
// them as well as the table's names.
extern const HtmlEntity kHtmlEntityFormerNames[5];

// The length of the well-formed UTF-8 sequence of two to four bytes at
// bytes[0] (RFC 3629: no overlong forms, no surrogates, nothing past
// U+10FFFF), or 0 when none starts there; `available` bounds the read.
uint32_t utf8SequenceLength(const unsigned char* bytes, uint32_t available);

// '"', "&", "<", ">" and the bytes from 0x80 up that are not part of a
// well-formed UTF-8 sequence become entities (Latin-1 text keeps its named
// entities); UTF-8 characters are copied as they are.
QelString htmlEncode(const QelString& text);
void htmlDecode(QelString& text);

// Expands \\ \n \r \t \v and, with decimalEscapes, \ddd (first digit 0-2).
void unescapeBackslashes(QelString& text, bool decimalEscapes);

}  // namespace bw

#endif
