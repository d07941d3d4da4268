// Numbers hold their encoding in an array of their own: copies must be
// whole and independent, the longest encodings must fit with their
// terminator, and a result written into the receiver must not overwrite an
// operand that is the receiver itself before it has been read.
#include <gtest/gtest.h>

#include <string>

#include "decimal/big_decimal.h"

namespace bw {
namespace {

std::string bytes(const BigDecimal& d) {
  const DecimalEncoding e = d.encoding();
  return std::string(e.bytes, e.length);
}

std::string text(const BigDecimal& d) { return d.toText().cString(); }

// `count` digits cycling through 1..9 from `first`, so no pair is "00".
std::string digitRun(int count, int first) {
  std::string s;
  for (int i = 0; i < count; ++i) s += static_cast<char>('1' + (first + i) % 9);
  return s;
}

BigDecimal number(int32_t precision, int32_t scale, const std::string& t) {
  BigDecimal d(precision, scale);
  d = t.c_str();
  return d;
}

// 100 digits at (100, 50); the parser's extra rounding digit makes 101 of
// them, the longest encoding a text can give.
const std::string kLongNegative = "-" + digitRun(50, 0) + "." + digitRun(50, 4) + "7";

TEST(InlineStorage, LongestEncodingsKeepTheirTerminator) {
  const struct {
    int32_t precision;
    int32_t scale;
    std::string text;
    uint32_t length;
  } cases[] = {
      {100, 0, digitRun(100, 0), 52},
      {100, 0, "-" + digitRun(100, 3), 52},
      {100, 50, kLongNegative, 53},
      {100, 100, "0." + std::string(99, '0') + "1", 3},
      {100, 100, "-0." + std::string(100, '0') + "5", 3},  // the rounding digit's place
  };
  for (const auto& c : cases) {
    const BigDecimal d = number(c.precision, c.scale, c.text);
    const DecimalEncoding e = d.encoding();
    ASSERT_EQ(e.length, c.length) << c.text;
    EXPECT_EQ(e.bytes[e.length], 0) << c.text;
    for (uint32_t i = 0; i < e.length; ++i) EXPECT_NE(e.bytes[i], 0) << c.text << " byte " << i;
    const BigDecimal copy(d);
    EXPECT_EQ(bytes(copy), bytes(d)) << c.text;
    EXPECT_EQ(text(copy), text(d)) << c.text;
  }
}

TEST(InlineStorage, SmallestExponentsAreStoredExactly) {
  const BigDecimal tiny = number(100, 100, "0." + std::string(99, '0') + "1");
  EXPECT_EQ(bytes(tiny), std::string({'p', static_cast<char>(-110), 20}));
  const BigDecimal below = number(100, 100, "-0." + std::string(100, '0') + "5");
  EXPECT_EQ(bytes(below), std::string({'n', static_cast<char>(111), static_cast<char>(-60)}));
  EXPECT_LT(BigDecimal::compare(below, tiny), 0);
}

TEST(InlineStorage, CopiesAreIndependent) {
  BigDecimal a = number(100, 50, kLongNegative);
  const std::string original = bytes(a);
  BigDecimal b(a);
  BigDecimal c;
  c = a;
  EXPECT_EQ(c.precision(), 100);
  EXPECT_EQ(c.scale(), 50);
  b.negate();
  c.add(BigDecimal("1"));
  EXPECT_EQ(bytes(a), original);
  EXPECT_NE(bytes(b), original);
  EXPECT_NE(bytes(c), original);
  // A shorter value over a longer one leaves no bytes of the longer behind.
  c = BigDecimal("5");
  EXPECT_EQ(bytes(c), bytes(BigDecimal("5")));
  EXPECT_EQ(BigDecimal::compare(c, BigDecimal("5")), 0);
  a = BigDecimal();
  EXPECT_TRUE(a.isEmpty());
  EXPECT_EQ(text(a), "");
}

TEST(InlineStorage, SelfAssignmentKeepsTheValue) {
  BigDecimal a = number(100, 50, kLongNegative);
  const std::string before = bytes(a);
  BigDecimal& alias = a;
  a = alias;
  EXPECT_EQ(bytes(a), before);
  EXPECT_EQ(a.scale(), 50);
}

// The receiver as its own operand gives what a separate equal operand gives.
TEST(InlineStorage, ReceiverAsOperandMatchesACopy) {
  const struct {
    int32_t precision;
    int32_t scale;
    std::string text;
  } values[] = {
      {38, 8, "12345678.12345678"},
      {38, 8, "-0.00000017"},
      {100, 38, "0." + digitRun(38, 2)},
      {100, 50, kLongNegative},
      {100, 50, digitRun(49, 1) + "." + digitRun(50, 6)},
      {100, 100, "0." + std::string(99, '0') + "1"},
      {100, 0, "-" + digitRun(100, 5)},
  };
  const char ops[] = {'+', '-', '*', '/'};
  for (const auto& v : values) {
    for (const char op : ops) {
      BigDecimal self = number(v.precision, v.scale, v.text);
      BigDecimal other = self;
      BigDecimal separate = self;
      BigDecimal::Status s1 = BigDecimal::ok;
      BigDecimal::Status s2 = BigDecimal::ok;
      switch (op) {
        case '+': s1 = self.add(self); s2 = separate.add(other); break;
        case '-': s1 = self.subtract(self); s2 = separate.subtract(other); break;
        case '*': s1 = self.multiply(self); s2 = separate.multiply(other); break;
        default: s1 = self.divide(self); s2 = separate.divide(other); break;
      }
      EXPECT_EQ(s1, s2) << v.text << ' ' << op;
      EXPECT_EQ(bytes(self), bytes(separate)) << v.text << ' ' << op;
    }
  }
}

TEST(InlineStorage, LongAliasedResultsAreExact) {
  BigDecimal a = number(100, 0, digitRun(49, 0));
  a.add(a);
  EXPECT_EQ(text(a), text(number(100, 0, digitRun(49, 0)) + number(100, 0, digitRun(49, 0))));
  BigDecimal half(100, 50);
  half = ("0." + std::string(49, '0') + "5").c_str();
  BigDecimal big(100, 50);
  big = ("1" + std::string(49, '0')).c_str();  // 10^49
  big.multiply(half);                            // 0.5
  EXPECT_EQ(text(big), "0.5");
  big.multiply(big);
  EXPECT_EQ(text(big), "0.25");
  BigDecimal n = number(100, 50, kLongNegative);
  n.subtract(n);
  EXPECT_TRUE(n.isZero());
  EXPECT_EQ(bytes(n), "o");
}

}  // namespace
}  // namespace bw
