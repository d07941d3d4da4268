// Eight stored digit pairs in one 64-bit word: the word-at-a-time helpers
// shared by the sums on stored pairs (stored_pairs.cpp) and the packing of
// digit groups (digit_groups.cpp).
//
// A word holds eight base-100 digits, one to a byte, the most significant in
// the top byte, as they are read big-endian from a stored encoding once the
// bias of 10 (or the negation of a negative value) is taken off.  Moving a
// line of such words by one decimal digit splits every byte into its tens
// and units digits and recombines neighbours, so a one-digit shift costs a
// few multiplications per eight pairs rather than a division per pair.
#ifndef BRINDLEWORK_DECIMAL_PAIR_WORDS_H
#define BRINDLEWORK_DECIMAL_PAIR_WORDS_H

#include <cstdint>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace bw {
namespace decimal_internal {

constexpr uint64_t kOnes = 0x0101010101010101ull;
constexpr uint64_t kZeroPairs = kOnes * 10;                  // "00" pairs, positive
constexpr uint64_t kNegativeZeroPairs = kOnes * (256 - 10);  // and negative

inline uint64_t loadBigEndian(const uint8_t* bytes) {
  uint64_t v;
  std::memcpy(&v, bytes, sizeof(v));
  return __builtin_bswap64(v);
}

inline void storeBigEndian(uint8_t* bytes, uint64_t v) {
  v = __builtin_bswap64(v);
  std::memcpy(bytes, &v, sizeof(v));
}

// a + b + carry and a - b - borrow, the carry or borrow (0 or 1) updated in
// place: one add-with-carry step where the machine has it, so that a chain
// of words keeps its carry in the flag.
inline uint64_t addWithCarry(uint64_t a, uint64_t b, uint64_t& carry) {
#if defined(__x86_64__)
  unsigned long long sum;
  carry = _addcarry_u64(static_cast<unsigned char>(carry), a, b, &sum);
  return sum;
#else
  const uint64_t partial = a + b;
  const uint64_t sum = partial + carry;
  carry = static_cast<uint64_t>(partial < a) | static_cast<uint64_t>(sum < partial);
  return sum;
#endif
}

inline uint64_t subtractWithBorrow(uint64_t a, uint64_t b, uint64_t& borrow) {
#if defined(__x86_64__)
  unsigned long long difference;
  borrow = _subborrow_u64(static_cast<unsigned char>(borrow), a, b, &difference);
  return difference;
#else
  const uint64_t partial = a - b;
  const uint64_t difference = partial - borrow;
  borrow = static_cast<uint64_t>(a < b) | static_cast<uint64_t>(partial < borrow);
  return difference;
#endif
}

// The stored bytes of eight pair values, and back.
inline uint64_t biasPairs(uint64_t values, bool negative) {
  return negative ? kNegativeZeroPairs - values : values + kZeroPairs;
}
inline uint64_t unbiasPairs(uint64_t stored, bool negative) {
  return negative ? kNegativeZeroPairs - stored : stored - kZeroPairs;
}

// Eight pair values as two groups of eight digits (below 10^8), the first
// four pairs' group in the high 32 bits: pairs are joined in 16-bit lanes,
// then the lanes in 32-bit ones.
inline uint64_t groupsOfPairs(uint64_t values) {
  constexpr uint64_t kByteLanes = 0x00FF00FF00FF00FFull;
  constexpr uint64_t kShortLanes = 0x0000FFFF0000FFFFull;
  const uint64_t fours = ((values >> 8) & kByteLanes) * 100 + (values & kByteLanes);
  return ((fours >> 16) & kShortLanes) * 10000 + (fours & kShortLanes);
}

// The four pair values of a group value (below 10^8), most significant in
// the top byte.  The two halves of the group go to the two 32-bit lanes of
// one word and are split into pairs together: a half is below 10^4, so its
// product with 5243 stays inside its lane, and (h * 5243) >> 19 is h / 100.
inline uint32_t pairValues(uint32_t v) {
  const uint32_t high = v / 10000;
  const uint64_t halves = static_cast<uint64_t>(high) << 32 | (v - high * 10000);
  const uint64_t hundreds = ((halves * 5243) >> 19) & 0x0000007F0000007Full;
  const uint64_t units = halves - hundreds * 100;
  return static_cast<uint32_t>(hundreds >> 8) | static_cast<uint32_t>(units >> 16) |
         static_cast<uint32_t>(hundreds << 8) | static_cast<uint32_t>(units);
}

// The tens and units digits of the eight pair values of a word, each in its
// own byte.  The tens are (v * 103) >> 10, exact for v below 100, worked out
// in 16-bit lanes (odd and even bytes apart) so that no lane overflows.
struct SplitPairs {
  uint64_t tens;
  uint64_t units;
};

inline SplitPairs splitPairs(uint64_t v) {
  constexpr uint64_t kLanes = 0x00FF00FF00FF00FFull;
  constexpr uint64_t kDigit = 0x000F000F000F000Full;
  const uint64_t even = v & kLanes;
  const uint64_t odd = (v >> 8) & kLanes;
  const uint64_t tens = (((even * 103) >> 10) & kDigit) | ((((odd * 103) >> 10) & kDigit) << 8);
  return {tens, v - tens * 10};
}

// Moves a line of words one digit towards the less significant end: slot j
// gets the low digit of slot j - 1 as its high digit and the high digit of
// slot j as its low one.  `above` is the word before (more significant).
inline uint64_t digitDown(uint64_t word, uint64_t above) {
  const SplitPairs here = splitPairs(word);
  const uint64_t aboveUnits = splitPairs(above).units;
  return here.tens + ((here.units >> 8) | (aboveUnits << 56)) * 10;
}

// The other way: slot j gets the low digit of slot j and the high digit of
// slot j + 1.  `below` is the word after (less significant).
inline uint64_t digitUp(uint64_t word, uint64_t below) {
  const SplitPairs here = splitPairs(word);
  const uint64_t belowTens = splitPairs(below).tens;
  return here.units * 10 + ((here.tens << 8) | (belowTens >> 56));
}

// Word `word` moved up by `bytes` whole pairs (0 to 7), filled from `below`.
inline uint64_t pairsUp(uint64_t word, uint64_t below, int32_t bytes) {
  const int32_t bits = 8 * bytes;
  return (word << bits) | ((below >> 1) >> (63 - bits));
}

// Most words of pairs an encoding holds (up to 64 pairs).
constexpr int32_t kMaxEncodingWords = 8;

// Where a result's encoding goes: a fixed array of room bytes and the
// length byte beside it.  reserve(length) is asked once, after the operands
// have been read in full, and returns the array with room bytes to write in
// (room > length); it has already set the length and the terminator at
// `length`, which whole words written past the encoding must leave 0.  The
// number's own array is such a place: written straight into, a result needs
// no copy, whose wide loads would also have to wait for the narrow stores of
// the words just written.  Not virtual: there is one kind of place, and the
// calls inline into the arithmetic.
class ResultSink {
 public:
  ResultSink(char* place, uint8_t& length, uint32_t room)
      : place_(place), length_(length), room_(room) {}
  char* reserve(uint32_t length, uint32_t& room) {
    length_ = static_cast<uint8_t>(length);
    place_[length] = 0;
    room = room_;
    return place_;
  }
  // The same place for a writer that stores the terminator itself, in
  // whole words: pair_lines.h's writeLine, which needs 2 + 8 * 7 bytes of
  // room for its widest line.
  char* reserveWords(uint32_t length) {
    length_ = static_cast<uint8_t>(length);
    return place_;
  }

 private:
  char* place_;
  uint8_t& length_;
  uint32_t room_;
};

// Writes an encoding: its sign and exponent bytes, then its pairs, given as
// the pair values of ceil(pairs / 8) words, most significant first.  The
// whole words are stored straight into the sink's place when they fit in
// its room (bytes past the encoding's own 2 + pairs are then overwritten,
// not part of it); otherwise they go through a local buffer and only the
// encoding's own bytes reach the sink.
inline void writeEncoding(char sign, char exponent, const uint64_t* values, int32_t pairs,
                          bool negative, ResultSink& sink) {
  uint32_t room = 0;
  char* const out = sink.reserve(static_cast<uint32_t>(2 + pairs), room);
  const int32_t words = (pairs + 7) / 8;
  uint8_t local[2 + 8 * kMaxEncodingWords];
  const bool direct = static_cast<uint32_t>(2 + 8 * words) <= room;
  uint8_t* const to = direct ? reinterpret_cast<uint8_t*>(out) : local;
  to[0] = static_cast<uint8_t>(sign);
  to[1] = static_cast<uint8_t>(exponent);
  for (int32_t j = 0; j < words; ++j) storeBigEndian(to + 2 + 8 * j, biasPairs(values[j], negative));
  if (direct) {
    out[2 + pairs] = 0;  // a whole word may have run over the terminator
  } else {
    std::memcpy(out, local, static_cast<size_t>(2 + pairs));
  }
}

// The one-byte encoding of zero.
inline void writeZero(ResultSink& sink) {
  uint32_t room = 0;
  sink.reserve(1, room)[0] = 'o';
}

}  // namespace decimal_internal
}  // namespace bw

#endif
