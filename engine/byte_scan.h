// Where a run of bytes of one kind ends in page text, sixteen bytes at a time.
//
// The start-tag scanner asks, for every name and value of every tag, where a
// run of name bytes ends or where the closing quote stands.  Those runs are a
// few to a few dozen bytes: too short for a call of memchr to pay, and long
// enough that a loop over single bytes is most of what a tag costs.  With
// SSE2 (every x86-64) sixteen bytes are classified by a handful of vector
// comparisons; without it, and for the last bytes of a text when fewer than
// sixteen remain, a loop over a byte-kind table gives the same answer.
// Every function returns a pointer in [p, end] and reads nothing outside
// [p, end).
#ifndef BRINDLE_ENGINE_BYTE_SCAN_H
#define BRINDLE_ENGINE_BYTE_SCAN_H

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace bw {

// What a byte can be in a tag, as bits of one table.
enum ByteKind : uint8_t {
  kBlankByte = 1,          // space, tab, line feed, carriage return, form feed
  kEndsParameterName = 2,  // blanks, "=", ">", quotes and "/"
  kTagNameByte = 4,        // letters, digits and "_-:."
};

struct ByteKinds {
  uint8_t table[256] = {};
  constexpr ByteKinds() {
    for (unsigned char c : {' ', '\t', '\n', '\r', '\f'}) table[c] |= kBlankByte | kEndsParameterName;
    for (unsigned char c : {'=', '>', '"', '\'', '/'}) table[c] |= kEndsParameterName;
    for (int c = 0; c < 256; ++c)
      if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
          c == '-' || c == ':' || c == '.')
        table[c] |= kTagNameByte;
  }
};
inline constexpr ByteKinds kByteKinds{};

inline bool isByteOf(char c, ByteKind kind) {
  return (kByteKinds.table[static_cast<unsigned char>(c)] & kind) != 0;
}

inline const char* skipBlankBytes(const char* p, const char* end) {
  while (p != end && isByteOf(*p, kBlankByte)) ++p;
  return p;
}

#if defined(__SSE2__)
namespace byte_scan_detail {

inline __m128i load16(const char* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline __m128i bytes(char c) { return _mm_set1_epi8(c); }
// Bytes with c - low <= span, as 0xFF: one unsigned range test per byte.
inline __m128i inRange(__m128i c, char low, char span) {
  __m128i d = _mm_sub_epi8(c, bytes(low));
  return _mm_cmpeq_epi8(_mm_min_epu8(d, bytes(span)), d);
}
// One bit per byte that is a tag-name byte.
inline unsigned tagNameBits(__m128i c) {
  __m128i letters = inRange(_mm_or_si128(c, bytes(0x20)), 'a', 25);  // "A".."Z" fold onto "a".."z"
  __m128i digitsAndColon = inRange(c, '0', 10);                        // ":" follows "9"
  __m128i dashAndDot = inRange(c, '-', 1);                             // "." follows "-"
  __m128i underscore = _mm_cmpeq_epi8(c, bytes('_'));
  return static_cast<unsigned>(_mm_movemask_epi8(
      _mm_or_si128(_mm_or_si128(letters, digitsAndColon), _mm_or_si128(dashAndDot, underscore))));
}
// One bit per byte that ends a parameter name.
inline unsigned parameterNameEndBits(__m128i c) {
  __m128i blanks = _mm_or_si128(_mm_cmpeq_epi8(c, bytes(' ')),
                                _mm_or_si128(inRange(c, '\t', 1), inRange(c, '\f', 1)));  // \t\n, \f\r
  __m128i marks = _mm_or_si128(_mm_or_si128(inRange(c, '=', 1), _mm_cmpeq_epi8(c, bytes('"'))),  // "=>"
                               _mm_or_si128(_mm_cmpeq_epi8(c, bytes('\'')), _mm_cmpeq_epi8(c, bytes('/'))));
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(blanks, marks)));
}

}  // namespace byte_scan_detail
#endif

// The first byte at or after p that is not a tag-name byte, or end.
inline const char* endOfTagName(const char* p, const char* end) {
#if defined(__SSE2__)
  for (; end - p >= 16; p += 16)
    if (unsigned stops = byte_scan_detail::tagNameBits(byte_scan_detail::load16(p)) ^ 0xFFFFu)
      return p + __builtin_ctz(stops);
#endif
  while (p != end && isByteOf(*p, kTagNameByte)) ++p;
  return p;
}

// The first byte at or after p that ends a parameter name, or end.
inline const char* endOfParameterName(const char* p, const char* end) {
#if defined(__SSE2__)
  for (; end - p >= 16; p += 16)
    if (unsigned stops = byte_scan_detail::parameterNameEndBits(byte_scan_detail::load16(p)))
      return p + __builtin_ctz(stops);
#endif
  while (p != end && !isByteOf(*p, kEndsParameterName)) ++p;
  return p;
}

// The first "<" or "$" at or after p, or end: the two bytes at which a walk
// of page text has anything to do.
inline const char* findMarkup(const char* p, const char* end) {
#if defined(__SSE2__)
  const __m128i opens = byte_scan_detail::bytes('<'), dollars = byte_scan_detail::bytes('$');
  for (; end - p >= 16; p += 16) {
    __m128i block = byte_scan_detail::load16(p);
    if (unsigned hits = static_cast<unsigned>(_mm_movemask_epi8(
            _mm_or_si128(_mm_cmpeq_epi8(block, opens), _mm_cmpeq_epi8(block, dollars)))))
      return p + __builtin_ctz(hits);
  }
#endif
  while (p != end && *p != '<' && *p != '$') ++p;
  return p;
}

// The first c at or after p, or end; `dollar` is set when a "$" stands
// before it, so that a value can be known to hold no reference at once.
inline const char* findByteNotingDollar(const char* p, const char* end, char c, bool& dollar) {
#if defined(__SSE2__)
  const __m128i wanted = byte_scan_detail::bytes(c), dollars = byte_scan_detail::bytes('$');
  for (; end - p >= 16; p += 16) {
    __m128i block = byte_scan_detail::load16(p);
    unsigned hits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, wanted)));
    unsigned dollarBits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, dollars)));
    if (hits != 0) {
      dollar |= (dollarBits & ((hits & (0u - hits)) - 1)) != 0;  // the bits below the first hit
      return p + __builtin_ctz(hits);
    }
    dollar |= dollarBits != 0;
  }
#endif
  for (; p != end && *p != c; ++p) dollar |= *p == '$';
  return p;
}

}  // namespace bw

#endif
