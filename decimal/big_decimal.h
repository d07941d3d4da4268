// BigDecimal: the module's only number, a signed decimal of up to 100
// significant digits with a per-value limit on the digits after the point.
//
// Every number a page author sees (qelMath, qelIf's numerical order, qelLoop's
// counters, qelString's positions) is produced here by decimal algorithms;
// there is no binary floating point in any of these paths.
//
// The value is held as a short byte string whose plain signed byte order is
// the numeric order, so comparing two numbers is one scan with no decoding
// (decimal_encoding.h describes the bytes).  The encoding lives in a fixed
// array inside the object, so no operation, copy or assignment of a number
// allocates; only toText's result string does.
//
// Every operation computes its result exactly and hands it to finish(), the
// one step that rounds (half away from zero, on the first dropped digit) and
// enforces the integer-digit limit.  The parser alone decides which digits of
// a text it keeps, by its own documented rule.
//
// Operations never throw: a failure returns its status and leaves the value
// that status stands for (usually no value), which callers test with
// isEmpty().
#ifndef BRINDLEWORK_DECIMAL_BIG_DECIMAL_H
#define BRINDLEWORK_DECIMAL_BIG_DECIMAL_H

#include <cstdint>
#include <cstring>

#include "foundation/object.h"
#include "foundation/qel_string.h"

namespace bw {

namespace decimal_internal {
struct DigitGroups;
}
class DecimalSum;

// A number's encoding as it lies in the number: its bytes, followed by a 0
// terminator, and its length (0 for no value).  Valid while the number is
// alive and unchanged.
struct DecimalEncoding {
  const char* bytes;
  uint32_t length;
};

class BigDecimal : public QELObject {
 public:
  // Outcome of an operation.  Each failure leaves a fixed value in the number
  // (see setStatus): no value, except secondPoint (zero) and divideByZero
  // (fifty 9s when the number has room for them, otherwise no value).
  enum Status : int32_t {
    ok = 0,
    overflow = -2053,      // more integer digits than precision - scale
    badSign = -2054,       // parse: '+' or '-' after the number has begun
    badCharacter = -2045,  // parse: any other character that does not belong
    secondPoint = -2044,   // parse: a second '.'
    divideByZero = -2046,  // divide, remainder, divideInteger
  };

  static constexpr int32_t kMaxPrecision = 100;
  static constexpr int32_t kDefaultPrecision = 38;
  static constexpr int32_t kDefaultScale = 8;

  // Constant texts that belong to the type.
  static constexpr const char* kZeroText = "0";
  static constexpr const char* kOneText = "1";
  static constexpr const char* kDivideByZeroText =
      "99999999999999999999999999999999999999999999999999";  // fifty 9s
  static constexpr const char* kPiText = "3.14159265358979";
  static constexpr const char* kPiLongText =
      "3.141592653589793238462643383279502884197169399375";
  static constexpr const char* kEText = "2.718281828";

  // Construction: no value at (38, 8); or no value, then setPrecision(p, s);
  // or parsed from an integer's decimal digits or from a text at (38, 8).
  BigDecimal();
  BigDecimal(int32_t precision, int32_t scale);
  explicit BigDecimal(int32_t value);
  explicit BigDecimal(uint32_t value);
  explicit BigDecimal(const char* text);
  explicit BigDecimal(const QelString& text);
  // Copy and assignment copy value, precision and scale.
  BigDecimal(const BigDecimal& other) = default;
  ~BigDecimal() override = default;
  BigDecimal& operator=(const BigDecimal& other) = default;
  // Parse under this number's own precision and scale, which stay unchanged.
  BigDecimal& operator=(const char* text);
  BigDecimal& operator=(const QelString& text);
  BigDecimal& operator=(int32_t value);
  BigDecimal& operator=(uint32_t value);

  // Queries.
  // An empty value's first byte is its terminator, so one byte answers each;
  // zero ("o") is the only value shorter than 2 bytes.
  bool isEmpty() const { return length_ == 0; }
  bool isZeroOrEmpty() const { return length_ < 2; }
  bool isZero() const { return bytes_[0] == 'o'; }
  bool isNegative() const { return bytes_[0] == 'n'; }
  // Digits after the point in toText()'s result; 0 for zero and no value.
  int32_t fractionDigitCount() const;
  // E + 1 when E >= 0, otherwise 0 (also for zero and no value).
  int32_t integerDigitCount() const;
  int32_t precision() const { return precision_; }
  int32_t scale() const { return scale_; }
  // Room before the point: the overflow limit of every operation.
  int32_t integerLimit() const { return precision_ - scale_; }
  // The encoded value (empty for no value).
  DecimalEncoding encoding() const { return {bytes_, length_}; }

  // Changes.
  // p in 1..100 or -1 (keep), s in 0..p or -1 (keep); a request that is out
  // of range, or that would leave no room for the value's integer digits, is
  // ignored.  A smaller scale rounds the value.
  Status setPrecision(int32_t precision, int32_t scale);
  // Rounds half away from zero to n fraction digits (n < 0 or n > scale
  // means scale).
  Status round(int32_t n);
  void negate();

  // In-place arithmetic; the result keeps this number's precision and scale
  // (remainder may widen them, see big_decimal_divide.cpp).  An operand with
  // no value counts as zero in add and subtract and as a zero divisor, and
  // spreads into a product.
  Status add(const BigDecimal& other);
  Status subtract(const BigDecimal& other);
  Status multiply(const BigDecimal& other);
  Status divide(const BigDecimal& other);             // rounded to scale
  Status remainder(const BigDecimal& other);          // exact, dividend's sign
  Status divideInteger(const BigDecimal& other);      // truncated toward zero
  // this ^ n by binary exponentiation from the lowest bit, rounding to scale
  // after every multiplication; a negative n works on 1 / this.
  BigDecimal power(int32_t n) const;

  BigDecimal& operator+=(const BigDecimal& other) { add(other); return *this; }
  BigDecimal& operator-=(const BigDecimal& other) { subtract(other); return *this; }
  BigDecimal& operator*=(const BigDecimal& other) { multiply(other); return *this; }
  BigDecimal& operator/=(const BigDecimal& other) { divide(other); return *this; }
  BigDecimal& operator%=(const BigDecimal& other) { remainder(other); return *this; }
  BigDecimal operator-() const { BigDecimal r(*this); r.negate(); return r; }

  // Comparison by the order property: -1, 0 or 1.  No value sorts below
  // every number.  The integer forms compare with a default-precision number.
  static int compare(const BigDecimal& a, const BigDecimal& b);
  static int compare(const BigDecimal& a, int32_t b);
  // Compares absolute values: no value < zero < every other value.
  static int compareMagnitude(const BigDecimal& a, const BigDecimal& b);

  // Conversion.
  // The parser (see big_decimal_parse.cpp for the exact truncation rules).
  Status fromText(const char* text);  // zero-terminated; null gives no value
  Status fromText(const char* bytes, uint32_t count);
  Status fromText(const QelString& text);
  // Plain decimal text: no exponent, no grouping, no trailing fraction zeros;
  // "" for no value.
  QelString toText() const;
  void toText(QelString& out) const;
  // toText with exactly n fraction digits (after rounding a copy to n when
  // roundFirst); no value prints as "0.000" for n = 3 and "" for n = 0.
  QelString toFixedText(int32_t n, bool roundFirst) const;
  // The integer part, truncated toward zero (32-bit, wrapping like the
  // module's integer parser).
  int32_t toInteger() const;
  // True, with the value in out, for zero and for whole numbers of at most
  // kMaxWholeDigits digits; false for fractions, longer numbers and no value.
  static constexpr int32_t kMaxWholeDigits = 18;
  bool toWholeNumber(int64_t& out) const;

  // Applies a status: empties the value, then leaves the status's value.
  Status setStatus(Status status);

 private:
  // A running sum works on the digit groups and finishes through finish().
  friend class DecimalSum;

  // Unpacks a present, nonzero value; returns its sign.
  bool unpack(decimal_internal::DigitGroups& out) const;
  // The finishing step of every operation: rounds the exact result m half
  // away from zero to `fractionLimit` digits after the point (kKeepDigits:
  // no rounding), refuses it with overflow when it needs more than
  // precision - scale integer digits, and stores it.
  static constexpr int32_t kKeepDigits = INT32_MAX;
  Status finish(decimal_internal::DigitGroups& m, bool negative, int32_t fractionLimit);
  // Sets the value to the encoding's first length bytes (length < kStorage).
  void setEncoding(const char* bytes, uint32_t length);
  void setZero() { setEncoding("o", 1); }
  void clearValue() {
    length_ = 0;
    bytes_[0] = 0;
  }
  // Stores the parser's digits: kept decimal digits, the first nonzero, the
  // first at the power of ten exponent.
  void storeDigits(const char* mantissa, int32_t kept, int32_t exponent, bool negative);
  // The three entry points of the long division.
  enum class DivisionKind { quotient, integerQuotient, remainder };
  Status divideBy(const BigDecimal& divisor, DivisionKind kind);

  // Room for the longest encoding (decimal_encoding.h's kMaxEncodedLength)
  // and its terminator.
  static constexpr uint32_t kStorage = 65;
  char bytes_[kStorage] = {};
  uint8_t length_ = 0;
  int32_t precision_ = kDefaultPrecision;
  int32_t scale_ = kDefaultScale;
};

// Two-operand forms: a copy of a with the in-place operation applied.
BigDecimal operator+(const BigDecimal& a, const BigDecimal& b);
BigDecimal operator-(const BigDecimal& a, const BigDecimal& b);
BigDecimal operator*(const BigDecimal& a, const BigDecimal& b);
BigDecimal operator*(const BigDecimal& a, int32_t b);
BigDecimal operator/(const BigDecimal& a, const BigDecimal& b);
BigDecimal operator%(const BigDecimal& a, const BigDecimal& b);

inline bool operator==(const BigDecimal& a, const BigDecimal& b) { return BigDecimal::compare(a, b) == 0; }
inline bool operator!=(const BigDecimal& a, const BigDecimal& b) { return BigDecimal::compare(a, b) != 0; }
inline bool operator<(const BigDecimal& a, const BigDecimal& b) { return BigDecimal::compare(a, b) < 0; }
inline bool operator>(const BigDecimal& a, const BigDecimal& b) { return BigDecimal::compare(a, b) > 0; }
inline bool operator<=(const BigDecimal& a, const BigDecimal& b) { return BigDecimal::compare(a, b) <= 0; }
inline bool operator>=(const BigDecimal& a, const BigDecimal& b) { return BigDecimal::compare(a, b) >= 0; }
inline bool operator==(const BigDecimal& a, int32_t b) { return BigDecimal::compare(a, b) == 0; }
inline bool operator!=(const BigDecimal& a, int32_t b) { return BigDecimal::compare(a, b) != 0; }
inline bool operator<(const BigDecimal& a, int32_t b) { return BigDecimal::compare(a, b) < 0; }
inline bool operator>(const BigDecimal& a, int32_t b) { return BigDecimal::compare(a, b) > 0; }
inline bool operator<=(const BigDecimal& a, int32_t b) { return BigDecimal::compare(a, b) <= 0; }
inline bool operator>=(const BigDecimal& a, int32_t b) { return BigDecimal::compare(a, b) >= 0; }

}  // namespace bw

#endif
