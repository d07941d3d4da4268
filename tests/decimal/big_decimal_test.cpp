// BigDecimal properties that the case files cannot express: the byte
// encoding and its order property, the values each status leaves, precision
// changes, construction and copies, and operands that alias the receiver.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "decimal/big_decimal.h"

namespace bw {
namespace {

std::vector<int> bytesOf(const BigDecimal& d) {
  std::vector<int> out;
  const DecimalEncoding e = d.encoding();
  for (uint32_t i = 0; i < e.length; ++i) out.push_back(static_cast<signed char>(e.bytes[i]));
  return out;
}

std::string text(const BigDecimal& d) { return d.toText().cString(); }

// Signed byte-by-byte order, a string that has ended reading as 0.
int byteOrder(const BigDecimal& a, const BigDecimal& b) {
  std::vector<int> x = bytesOf(a);
  std::vector<int> y = bytesOf(b);
  for (size_t i = 0;; ++i) {
    const int p = i < x.size() ? x[i] : 0;
    const int q = i < y.size() ? y[i] : 0;
    if (p != q) return p < q ? -1 : 1;
    if (i >= x.size() && i >= y.size()) return 0;
  }
}

TEST(BigDecimalEncoding, ExampleEncodings) {
  const struct {
    const char* value;
    std::vector<int> bytes;
  } cases[] = {
      {"5", {'p', 10, 60}},
      {"100", {'p', 12, 20}},
      {"10.5", {'p', 11, 20, 60}},
      {"0.05", {'p', -12, 60}},
      {"-2.5", {'n', -10, -35}},
      {"0", {'o'}},
      {"7", {'p', 10, 80}},
      {"123.4", {'p', 12, 22, 44}},
      {"-0.05", {'n', 12, -60}},
      {"", {}},
      // trailing zero digits: a pair of them is dropped, a single one pads
      {"1.50", {'p', 10, 25}},
      {"-100", {'n', -12, -20}},
      {"0.0500", {'p', -12, 60}},
      {"99.00", {'p', 11, 109}},
      {"120", {'p', 12, 22}},
      {"1234567890", {'p', 19, 22, 44, 66, 88, 100}},
      {"12345", {'p', 14, 22, 44, 60}},
      {"-000123.4500", {'n', -12, -22, -44, -60}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(bytesOf(BigDecimal(c.value)), c.bytes) << c.value;
  }
}

TEST(BigDecimalEncoding, EqualNumbersHaveEqualEncodingsAtAnyPrecision) {
  BigDecimal wide(100, 25);
  wide = "2.50";
  BigDecimal narrow(10, 1);
  narrow = "2.5";
  EXPECT_EQ(bytesOf(wide), bytesOf(narrow));
  // Results of arithmetic are normalised the same way as parsed values.
  BigDecimal sum("1.25");
  sum.add(BigDecimal("1.25"));
  EXPECT_EQ(bytesOf(sum), bytesOf(BigDecimal("2.5")));
  BigDecimal product("0.5");
  product.multiply(BigDecimal("200"));
  EXPECT_EQ(bytesOf(product), bytesOf(BigDecimal("100")));
}

TEST(BigDecimalEncoding, ByteOrderIsNumericOrder) {
  // Ascending, no duplicates; covers signs, exponents of both parities and
  // both signs, and digit strings that are prefixes of each other.
  const char* ascending[] = {
      "",
      "-999999999999999999999999999999",
      "-1000",
      "-999.99999999",
      "-100",
      "-10.5",
      "-10",
      "-9.99",
      "-5.5",
      "-5",
      "-1",
      "-0.5",
      "-0.05",
      "-0.00000001",
      "0",
      "0.00000001",
      "0.00000002",
      "0.0000001",
      "0.05",
      "0.0501",
      "0.5",
      "0.55",
      "1",
      "1.00000001",
      "5",
      "5.5",
      "9.99",
      "10",
      "10.5",
      "11",
      "99",
      "100",
      "101",
      "999.99999999",
      "1000",
      "999999999999999999999999999999",
  };
  std::vector<BigDecimal> values;
  for (const char* t : ascending) values.emplace_back(t);
  for (size_t i = 0; i < values.size(); ++i) {
    EXPECT_EQ(text(values[i]), std::string(ascending[i]).empty() ? "" : text(BigDecimal(ascending[i])));
    for (size_t j = 0; j < values.size(); ++j) {
      const int expected = i < j ? -1 : (i > j ? 1 : 0);
      EXPECT_EQ(byteOrder(values[i], values[j]), expected) << ascending[i] << " vs " << ascending[j];
      EXPECT_EQ(BigDecimal::compare(values[i], values[j]), expected)
          << ascending[i] << " vs " << ascending[j];
    }
  }
}

TEST(BigDecimalEncoding, RandomValuesSortLikeTheirDifferences) {
  // a < b exactly when b - a is positive: checks compare against subtract
  // on values of every shape.
  std::mt19937 random(20261208);
  auto randomText = [&] {
    std::string t = random() % 2 ? "-" : "";
    const int intDigits = 1 + static_cast<int>(random() % 12);
    const int fracDigits = static_cast<int>(random() % 9);
    for (int i = 0; i < intDigits; ++i) t += static_cast<char>('0' + random() % 10);
    if (fracDigits > 0) t += '.';
    for (int i = 0; i < fracDigits; ++i) t += static_cast<char>('0' + random() % 10);
    return t;
  };
  for (int n = 0; n < 2000; ++n) {
    BigDecimal a(randomText().c_str());
    BigDecimal b(randomText().c_str());
    BigDecimal difference = b - a;
    const int expected = difference.isZero() ? 0 : (difference.isNegative() ? 1 : -1);
    EXPECT_EQ(BigDecimal::compare(a, b), expected) << text(a) << " vs " << text(b);
    EXPECT_EQ(byteOrder(a, b), expected) << text(a) << " vs " << text(b);
  }
}

TEST(BigDecimalStatus, EachStatusLeavesItsValue) {
  BigDecimal d("5");
  EXPECT_EQ(d.setStatus(BigDecimal::overflow), BigDecimal::overflow);
  EXPECT_TRUE(d.isEmpty());
  d = "5";
  d.setStatus(BigDecimal::badSign);
  EXPECT_TRUE(d.isEmpty());
  d = "5";
  d.setStatus(BigDecimal::badCharacter);
  EXPECT_TRUE(d.isEmpty());
  d = "5";
  d.setStatus(BigDecimal::secondPoint);
  EXPECT_TRUE(d.isZero());
  // Fifty 9s need 50 integer digits of room.
  d = "5";
  d.setStatus(BigDecimal::divideByZero);
  EXPECT_TRUE(d.isEmpty());
  BigDecimal roomy(58, 8);
  roomy.setStatus(BigDecimal::divideByZero);
  EXPECT_EQ(text(roomy), BigDecimal::kDivideByZeroText);
  BigDecimal tight(57, 8);
  tight.setStatus(BigDecimal::divideByZero);
  EXPECT_TRUE(tight.isEmpty());
}

TEST(BigDecimalPrecision, SetPrecisionAcceptsOrIgnores) {
  const struct {
    const char* value;
    int precision, scale;      // requested
    int gotPrecision, gotScale;
    const char* after;
  } cases[] = {
      // out of range: ignored
      {"1.5", 0, 2, 38, 8, "1.5"},
      {"1.5", -2, 2, 38, 8, "1.5"},
      {"1.5", 101, 2, 38, 8, "1.5"},
      {"1.5", 20, -2, 38, 8, "1.5"},
      {"1.5", 20, 21, 38, 8, "1.5"},
      // -1 keeps the current value
      {"1.5", -1, 2, 38, 2, "1.5"},
      {"1.5", 50, -1, 50, 8, "1.5"},
      // a smaller scale rounds
      {"1.23456789", -1, 2, 38, 2, "1.23"},
      {"1.235", -1, 2, 38, 2, "1.24"},
      {"-1.235", 10, 2, 10, 2, "-1.24"},
      // integer room shrinking below the value's integer digits: ignored
      {"12345", 10, 6, 38, 8, "12345"},
      {"12345", 10, 5, 10, 5, "12345"},
      // the largest precision
      {"0.5", 100, 100, 100, 100, "0.5"},
      {"1", 100, 100, 38, 8, "1"},
  };
  for (const auto& c : cases) {
    BigDecimal d(c.value);
    d.setPrecision(c.precision, c.scale);
    EXPECT_EQ(d.precision(), c.gotPrecision) << c.value << " " << c.precision << "," << c.scale;
    EXPECT_EQ(d.scale(), c.gotScale) << c.value << " " << c.precision << "," << c.scale;
    EXPECT_EQ(text(d), c.after) << c.value << " " << c.precision << "," << c.scale;
  }
}

TEST(BigDecimalPrecision, RoundingCarryIntoTheLimitOverflows) {
  BigDecimal d(4, 2);
  d = "99.99";
  EXPECT_EQ(d.setPrecision(3, 1), BigDecimal::overflow);  // 99.99 -> 100.0 needs 3 digits
  EXPECT_TRUE(d.isEmpty());
}

TEST(BigDecimalConstruction, DefaultsAndIntegerForms) {
  BigDecimal none;
  EXPECT_TRUE(none.isEmpty());
  EXPECT_TRUE(none.isZeroOrEmpty());
  EXPECT_EQ(none.precision(), 38);
  EXPECT_EQ(none.scale(), 8);
  BigDecimal sized(25, 0);
  EXPECT_TRUE(sized.isEmpty());
  EXPECT_EQ(sized.precision(), 25);
  EXPECT_EQ(sized.scale(), 0);
  EXPECT_EQ(text(BigDecimal(INT32_MIN)), "-2147483648");
  EXPECT_EQ(text(BigDecimal(UINT32_MAX)), "4294967295");
  EXPECT_EQ(text(BigDecimal(0)), "0");
  BigDecimal assigned(10, 0);
  assigned = -42;
  EXPECT_EQ(text(assigned), "-42");
  EXPECT_EQ(assigned.precision(), 10);  // assignment keeps precision and scale
  assigned = QelString("7.5");
  EXPECT_EQ(text(assigned), "7.5");  // the retained rounding digit
}

TEST(BigDecimalQueries, DigitCounts) {
  const struct {
    const char* value;
    int fraction, integer;
  } cases[] = {
      {"", 0, 0},     {"0", 0, 0},         {"5", 0, 1},          {"100", 0, 3},
      {"10.5", 1, 2}, {"0.05", 2, 0},      {"-0.00000001", 8, 0}, {"123.4", 1, 3},
      {"1.5", 1, 1},  {"0.123456785", 9, 0}, {"1000.25", 2, 4},
      // leading and trailing digits at every place of a group of eight
      {"1", 0, 1},    {"12", 0, 2},        {"1234567", 0, 7},    {"12345678", 0, 8},
      {"123456789", 0, 9}, {"10000000", 0, 8}, {"100000000", 0, 9}, {"9999999999999999", 0, 16},
      {"0.1", 1, 0},  {"0.0001", 4, 0},    {"0.1234567", 7, 0},  {"0.12345678", 8, 0},
      {"1234.5678", 4, 4}, {"1234567.8", 1, 7}, {"20000000000000000000", 0, 20},
  };
  for (const auto& c : cases) {
    BigDecimal d(c.value);
    EXPECT_EQ(d.fractionDigitCount(), c.fraction) << c.value;
    EXPECT_EQ(d.integerDigitCount(), c.integer) << c.value;
  }
}

TEST(BigDecimalArithmetic, AddOrSubtractIntoZeroTakesTheOtherWhole) {
  BigDecimal zero(10, 0);
  zero = "0";
  BigDecimal other(60, 20);
  other = "1.125";
  zero.subtract(other);
  EXPECT_EQ(text(zero), "-1.125");
  EXPECT_EQ(zero.scale(), 20);
  EXPECT_EQ(zero.precision(), 60);
}

TEST(BigDecimalArithmetic, OperandMayBeTheReceiver) {
  BigDecimal a("1.5");
  a.add(a);
  EXPECT_EQ(text(a), "3");
  a.multiply(a);
  EXPECT_EQ(text(a), "9");
  a.subtract(a);
  EXPECT_EQ(text(a), "0");
  BigDecimal b("7.25");
  b.divide(b);
  EXPECT_EQ(text(b), "1");
  BigDecimal c("7.25");
  c.remainder(c);
  EXPECT_EQ(text(c), "0");
}

TEST(BigDecimalArithmetic, TwoOperandFormsLeaveTheirOperands) {
  const BigDecimal a("7");
  const BigDecimal b("2");
  EXPECT_EQ(text(a / b), "3.5");
  EXPECT_EQ(text(a * -3), "-21");
  EXPECT_EQ(text(a), "7");
  EXPECT_TRUE(a == BigDecimal("7.0") && a > 6 && BigDecimal() < 0);
}

TEST(BigDecimalArithmetic, RemainderKeepsItsScaleUnlessItNeedsMore) {
  BigDecimal a("12345");
  a.remainder(BigDecimal("7"));
  EXPECT_EQ(text(a), "4");
  EXPECT_EQ(a.precision(), 38);
  EXPECT_EQ(a.scale(), 8);
  BigDecimal b(20, 0);
  b = "7";
  BigDecimal fine(38, 3);
  fine = "0.125";
  b.remainder(fine);
  EXPECT_EQ(text(b), "0");
  b = "7";
  fine = "0.3";
  b.remainder(fine);
  EXPECT_EQ(text(b), "0.1");
  EXPECT_EQ(b.scale(), 1);
  EXPECT_EQ(b.precision(), 21);
}

TEST(BigDecimalArithmetic, DivisionIsExactHoweverLongTheDividend) {
  // Dividends with many more integer digits than the divisor keep every
  // digit: compare q * b + r with a.
  std::mt19937 random(4);
  for (int n = 0; n < 500; ++n) {
    std::string a = std::to_string(1 + random() % 9);
    const int digits = static_cast<int>(random() % 80);
    for (int i = 0; i < digits; ++i) a += static_cast<char>('0' + random() % 10);
    std::string b = std::to_string(1 + random() % 9);
    const int bDigits = static_cast<int>(random() % 40);
    for (int i = 0; i < bDigits; ++i) b += static_cast<char>('0' + random() % 10);
    // At most 8 fraction digits, so that the divisor is exact at scale 8.
    if (random() % 2) b.insert(b.size() > 9 ? b.size() - 8 : 1, ".");
    BigDecimal x(100, 8);
    x = a.c_str();
    BigDecimal y(100, 8);
    y = b.c_str();
    BigDecimal q(x);
    q.divideInteger(y);
    BigDecimal r(x);
    r.remainder(y);
    BigDecimal back(q);
    back.multiply(y);
    back.add(r);
    EXPECT_EQ(text(back), text(x)) << a << " / " << b;
    EXPECT_LT(BigDecimal::compareMagnitude(r, y), 0) << a << " / " << b;
    // The rounded quotient is within half a unit of the last place.
    BigDecimal rounded(x);
    rounded.divide(y);
    // Checked at a scale where q * y is exact: 8 + 8 fraction digits.
    BigDecimal error(rounded);
    error.setPrecision(100, 17);
    error.multiply(y);
    error.subtract(x);
    BigDecimal bound(100, 17);
    bound = "0.000000005";
    bound.multiply(y);
    EXPECT_LE(BigDecimal::compareMagnitude(error, bound), 0) << a << " / " << b;
  }
}

}  // namespace
}  // namespace bw
