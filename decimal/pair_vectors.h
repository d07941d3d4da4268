// Stored pairs to base-10^8 limbs, sixteen pairs (four limbs) in one SSE2
// register.
//
// The short product (pair_products.cpp) reads its operands as limbs.  Done
// a word at a time in general-purpose registers, turning twenty pairs into
// five limbs costs about as much as the product itself; in 16-bit and
// 32-bit vector lanes it is a few multiply-adds.  SSE2 is part of every
// x86-64 machine, so this needs no run-time test; other machines keep the
// word-at-a-time form, and both give the same limbs.
#ifndef BRINDLEWORK_DECIMAL_PAIR_VECTORS_H
#define BRINDLEWORK_DECIMAL_PAIR_VECTORS_H

#if defined(__SSE2__) && defined(__x86_64__)
#define BRINDLE_PAIR_VECTORS 1

#include <emmintrin.h>

#include <cstdint>

namespace bw {
namespace decimal_internal {

// Byte lanes whose index is below n (n may be negative or past 16): a
// window into a run of 16 ones followed by 16 zeros.
alignas(16) inline constexpr uint8_t kLaneWindow[32] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                                        0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

inline __m128i byteLanesBelow(int32_t n) {
  const int32_t clamped = n < 0 ? 0 : (n > 16 ? 16 : n);
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(kLaneWindow + 16 - clamped));
}

// The four limbs of the sixteen stored pairs at `pairs`, of which the first
// `count` belong to the number (count may be negative or past 16); the
// others count as 0.  Reads 16 bytes.  The limbs come out in 32-bit lanes,
// the most significant in lane 0.  A negative number's byte is 246 - v,
// whose complement is v + 9; the mask goes on first, so that the bytes past
// the pairs cannot wrap.
inline __m128i limbsOfPairs(const uint8_t* pairs, int32_t count, bool negative) {
  // Two 8-byte reads where one would do: a number's pairs are written in
  // 8-byte words (pair_lines.h), and a wider read of a result just written
  // could not be served from those stores and would wait for them to land.
  const __m128i raw = _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(pairs)),
                                         _mm_loadl_epi64(reinterpret_cast<const __m128i*>(pairs + 8)));
  const __m128i flip = _mm_set1_epi32(negative ? -1 : 0);
  const __m128i bias = _mm_add_epi8(_mm_set1_epi8(10), flip);
  const __m128i keep = byteLanesBelow(count);
  const __m128i values =
      _mm_sub_epi8(_mm_and_si128(_mm_xor_si128(raw, flip), keep), _mm_and_si128(bias, keep));
  // Pairs join into four-digit quads (the first of each two weighs 100),
  // quads into limbs (the first weighs 10^4); every partial sum fits its lane.
  const __m128i zero = _mm_setzero_si128();
  const __m128i hundredAndOne = _mm_set1_epi32(0x00010064);
  const __m128i quads = _mm_packs_epi32(_mm_madd_epi16(_mm_unpacklo_epi8(values, zero), hundredAndOne),
                                        _mm_madd_epi16(_mm_unpackhi_epi8(values, zero), hundredAndOne));
  return _mm_madd_epi16(quads, _mm_set1_epi32(0x00012710));
}

}  // namespace decimal_internal
}  // namespace bw

#endif
#endif
