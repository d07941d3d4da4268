// BigDecimal's life cycle, queries, precision, status values, sign and order,
// and finish(), the one step that rounds and stores every result.
//
// The arithmetic lives in big_decimal_arithmetic.cpp and
// big_decimal_divide.cpp, the parser in big_decimal_parse.cpp and the text
// output in big_decimal_text.cpp.
#include "decimal/big_decimal.h"

#include <cstring>

#include "decimal/decimal_assert.h"
#include "decimal/decimal_encoding.h"
#include "decimal/digit_groups.h"

namespace bw {

using decimal_internal::DigitGroups;

namespace {

// Decimal digits of a 32-bit magnitude, with an optional '-', into buffer;
// returns the start of the zero-terminated text.
char* integerText(uint32_t magnitude, bool negative, char (&buffer)[12]) {
  char* p = buffer + sizeof(buffer) - 1;
  *p = '\0';
  do {
    *--p = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (negative) *--p = '-';
  return p;
}

uint32_t magnitudeOf(int32_t value) {
  return value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
}

using decimal_internal::signedByte;

}  // namespace

BigDecimal::BigDecimal() = default;

BigDecimal::BigDecimal(int32_t precision, int32_t scale) { setPrecision(precision, scale); }

BigDecimal::BigDecimal(int32_t value) { *this = value; }

BigDecimal::BigDecimal(uint32_t value) { *this = value; }

BigDecimal::BigDecimal(const char* text) { fromText(text); }

BigDecimal::BigDecimal(const QelString& text) { fromText(text); }

BigDecimal& BigDecimal::operator=(const char* text) {
  fromText(text);
  return *this;
}

BigDecimal& BigDecimal::operator=(const QelString& text) {
  fromText(text);
  return *this;
}

BigDecimal& BigDecimal::operator=(int32_t value) {
  char buffer[12];
  fromText(integerText(magnitudeOf(value), value < 0, buffer));
  return *this;
}

BigDecimal& BigDecimal::operator=(uint32_t value) {
  char buffer[12];
  fromText(integerText(value, false, buffer));
  return *this;
}

void BigDecimal::setEncoding(const char* bytes, uint32_t length) {
  BW_DECIMAL_ASSERT(length < kStorage);
  std::memmove(bytes_, bytes, length);
  bytes_[length] = 0;
  length_ = static_cast<uint8_t>(length);
}

int32_t BigDecimal::integerDigitCount() const {
  if (length_ < 2) return 0;
  const int32_t leading = decimal_internal::exponentOf(bytes_);
  return leading >= 0 ? leading + 1 : 0;
}

int32_t BigDecimal::fractionDigitCount() const {
  return length_ < 2 ? 0 : decimal_internal::fractionDigitsOf(bytes_, length_);
}

bool BigDecimal::unpack(DigitGroups& out) const {
  return decimal_internal::decode(bytes_, length_, out);
}

BigDecimal::Status BigDecimal::finish(DigitGroups& m, bool negative, int32_t fractionLimit) {
  decimal_internal::roundTo(m, fractionLimit);
  if (m.count == 0) {
    setZero();
    return ok;
  }
  const int32_t exponent = decimal_internal::leadingExponent(m);
  if (exponent >= integerLimit()) return setStatus(overflow);
  length_ = static_cast<uint8_t>(decimal_internal::encode(m, exponent, negative, bytes_));
  return ok;
}

BigDecimal::Status BigDecimal::setStatus(Status status) {
  clearValue();
  switch (status) {
    case secondPoint:
      setZero();
      break;
    case divideByZero:
      // Parsing leaves no value when the fifty 9s do not fit.
      fromText(kDivideByZeroText);
      break;
    default:
      break;
  }
  return status;
}

BigDecimal::Status BigDecimal::setPrecision(int32_t precision, int32_t scale) {
  if (precision == 0 || precision < -1 || precision > kMaxPrecision) return ok;
  if (precision == -1) precision = precision_;
  if (scale < -1 || scale > precision) return ok;
  if (scale == -1) scale = scale_;
  const int32_t room = precision - scale;
  if (room < integerLimit() && room < integerDigitCount()) return ok;  // would not fit
  precision_ = precision;
  scale_ = scale;
  if (fractionDigitCount() > scale_) return round(scale_);
  return ok;
}

BigDecimal::Status BigDecimal::round(int32_t n) {
  if (n < 0 || n > scale_) n = scale_;
  // A value already short enough is left as it is, without decoding it.
  if (fractionDigitCount() <= n) return ok;
  DigitGroups m;
  const bool negative = unpack(m);
  return finish(m, negative, n);
}

void BigDecimal::negate() {
  const uint32_t length = length_;
  if (length < 2) return;
  bytes_[0] = bytes_[0] == 'p' ? 'n' : 'p';
  for (uint32_t i = 1; i < length; ++i) bytes_[i] = static_cast<char>(-signedByte(bytes_[i]));
}

int BigDecimal::compare(const BigDecimal& a, const BigDecimal& b) {
  const char* x = a.bytes_;
  const char* y = b.bytes_;
  // Both encodings end in their 0 terminator, which reads as 0 where one is shorter.
  for (;;) {
    const int p = signedByte(*x);
    const int q = signedByte(*y);
    if (p != q) return p < q ? -1 : 1;
    if (p == 0) return 0;
    ++x;
    ++y;
  }
}

int BigDecimal::compare(const BigDecimal& a, int32_t b) { return compare(a, BigDecimal(b)); }

int BigDecimal::compareMagnitude(const BigDecimal& a, const BigDecimal& b) {
  const char* x = a.bytes_;
  const char* y = b.bytes_;
  // Rank: no value, zero, any other value.
  const int rankA = *x == 0 ? 0 : (*x == 'o' ? 1 : 2);
  const int rankB = *y == 0 ? 0 : (*y == 'o' ? 1 : 2);
  if (rankA != 2 || rankB != 2) return rankA == rankB ? 0 : (rankA < rankB ? -1 : 1);
  // Read both as positive encodings from the exponent byte on.
  const int signA = *x == 'n' ? -1 : 1;
  const int signB = *y == 'n' ? -1 : 1;
  for (++x, ++y;; ++x, ++y) {
    const int p = signA * signedByte(*x);
    const int q = signB * signedByte(*y);
    if (p != q) return p < q ? -1 : 1;
    if (p == 0) return 0;
  }
}

BigDecimal operator+(const BigDecimal& a, const BigDecimal& b) {
  BigDecimal r(a);
  r.add(b);
  return r;
}

BigDecimal operator-(const BigDecimal& a, const BigDecimal& b) {
  BigDecimal r(a);
  r.subtract(b);
  return r;
}

BigDecimal operator*(const BigDecimal& a, const BigDecimal& b) {
  BigDecimal r(a);
  r.multiply(b);
  return r;
}

BigDecimal operator*(const BigDecimal& a, int32_t b) {
  BigDecimal r(a);
  r.multiply(BigDecimal(b));
  return r;
}

BigDecimal operator/(const BigDecimal& a, const BigDecimal& b) {
  BigDecimal r(a);
  r.divide(b);
  return r;
}

BigDecimal operator%(const BigDecimal& a, const BigDecimal& b) {
  BigDecimal r(a);
  r.remainder(b);
  return r;
}

}  // namespace bw
