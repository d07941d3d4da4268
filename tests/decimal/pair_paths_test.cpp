// The fast sums and products on stored pairs against the digit-group route
// they stand in for.
//
// add, subtract and multiply take a short path for operands of up to 23 and
// 20 pairs and leave everything else to the exact digit-group routines
// (digit_groups.h).  Both must give the same encoding, or the same overflow,
// for every operand pair; the reference here drives the digit-group routines
// directly, so the comparison holds whichever path the number chose.  Fixed
// cases pin the edges the short paths handle on their own: carries through
// every word boundary, borrows that shorten the result, exponents far apart,
// the integer limit, rounding ties and signs.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "decimal/big_decimal.h"
#include "decimal/digit_groups.h"
#include "decimal/pair_words.h"

namespace bw {
namespace {

using decimal_internal::DigitGroups;

// An encoding as bytes, or {"overflow"} for a refused result.
using Bytes = std::string;
const Bytes kOverflow = "overflow";

// The comparisons read up to the terminator, so a result must have one.
Bytes bytesOf(const BigDecimal& d) {
  const DecimalEncoding e = d.encoding();
  if (e.bytes[e.length] != 0) return "unterminated";
  return Bytes(e.bytes, e.length);
}

Bytes encodeReference(DigitGroups& m, bool negative, const BigDecimal& receiver, bool roundToScale) {
  decimal_internal::normalize(m);
  if (roundToScale) decimal_internal::roundTo(m, receiver.scale());
  if (m.count > 0 && decimal_internal::leadingExponent(m) >= receiver.integerLimit()) return kOverflow;
  char place[80] = {};
  uint8_t length = 0;
  decimal_internal::ResultSink sink(place, length, sizeof(place) - 1);
  if (decimal_internal::encode(m, negative, sink) == 0) return kOverflow;
  return Bytes(place, length);
}

// a + b or a - b on digit groups, as the receiver a keeps it.
Bytes referenceCombine(const BigDecimal& a, const BigDecimal& b, bool subtract) {
  if (b.isZeroOrEmpty()) return bytesOf(a);
  if (a.isZeroOrEmpty()) {
    BigDecimal r(b);
    if (subtract) r.negate();
    return bytesOf(r);
  }
  DigitGroups x;
  DigitGroups y;
  const bool negativeX = decimal_internal::decode(a.encoding().bytes, a.encoding().length, x);
  const bool negativeY =
      decimal_internal::decode(b.encoding().bytes, b.encoding().length, y) != subtract;
  if (!decimal_internal::align(x, y)) return kOverflow;
  DigitGroups r;
  const bool roundToScale = b.scale() > a.scale();
  if (negativeX == negativeY) {
    decimal_internal::addCoefficients(x, y, r);
    return encodeReference(r, negativeX, a, roundToScale);
  }
  const int order = decimal_internal::compareCoefficients(x, y);
  if (order == 0) return "o";
  if (order > 0) {
    decimal_internal::subtractCoefficients(x, y, r);
    return encodeReference(r, negativeX, a, roundToScale);
  }
  decimal_internal::subtractCoefficients(y, x, r);
  return encodeReference(r, negativeY, a, roundToScale);
}

Bytes referenceMultiply(const BigDecimal& a, const BigDecimal& b) {
  if (a.isZeroOrEmpty()) return bytesOf(a);
  if (b.isZeroOrEmpty()) return bytesOf(b);
  DigitGroups x;
  DigitGroups y;
  const bool negative = decimal_internal::decode(a.encoding().bytes, a.encoding().length, x) !=
                        decimal_internal::decode(b.encoding().bytes, b.encoding().length, y);
  DigitGroups r;
  decimal_internal::multiplyMagnitudes(x, y, r);
  return encodeReference(r, negative, a, true);
}

Bytes resultOf(BigDecimal r, const BigDecimal& b, char operation) {
  BigDecimal::Status status = BigDecimal::ok;
  if (operation == '+') status = r.add(b);
  if (operation == '-') status = r.subtract(b);
  if (operation == '*') status = r.multiply(b);
  if (status == BigDecimal::overflow) return kOverflow;
  return bytesOf(r);
}

Bytes referenceOf(const BigDecimal& a, const BigDecimal& b, char operation) {
  if (operation == '*') return referenceMultiply(a, b);
  return referenceCombine(a, b, operation == '-');
}

BigDecimal number(const std::string& text, int precision, int scale) {
  BigDecimal d(precision, scale);
  d = text.c_str();
  return d;
}

std::string text(const BigDecimal& d) { return d.toText().cString(); }

std::string repeated(char c, int n) { return std::string(static_cast<size_t>(n), c); }

// x op y as text (or "overflow"), and its encoding against the digit groups.
void expectCombined(const BigDecimal& x, char operation, const BigDecimal& y, const char* expected) {
  ASSERT_FALSE(x.isEmpty() || y.isEmpty()) << text(x) << ' ' << text(y);
  BigDecimal r(x);
  const BigDecimal::Status status = operation == '+' ? r.add(y) : r.subtract(y);
  EXPECT_EQ(status == BigDecimal::overflow ? "overflow" : text(r), expected)
      << text(x) << ' ' << operation << ' ' << text(y);
  EXPECT_EQ(resultOf(x, y, operation), referenceOf(x, y, operation))
      << text(x) << ' ' << operation << ' ' << text(y);
}

// --- Fixed cases -------------------------------------------------------------

// a op b at a scale (both operands', or b's alone where a's is fixed).
struct CombineCase {
  const char* a;
  char operation;
  const char* b;
  int scale;
  const char* expected;
};

TEST(PairPaths, SumsAndDifferencesAgainstKnownResults) {
  // At precision 38: scale 0 for the long integers, 36 for the rest.
  const CombineCase cases[] = {
      // carries through the word boundaries at 8, 16 and 24 pairs
      {"0.9999999999999999", '+', "0.0000000000000001", 36, "1"},
      {"0.99999999999999999999999999999999", '+', "0.00000000000000000000000000000001", 36, "1"},
      {"99999999999999999999999999999999999999", '+', "1", 0, "overflow"},
      {"9999999999999999999999999999999999999", '+', "1", 0, "10000000000000000000000000000000000000"},
      {"99999999.99999999", '+', "0.00000001", 20, "100000000"},
      {"-0.9999999999999999", '-', "0.0000000000000001", 36, "-1"},
      {"99", '+', "1", 36, "overflow"},
      {"-99", '-', "1", 36, "overflow"},
      {"9", '+', "1", 36, "10"},
      // borrows that shorten the result
      {"1", '-', "0.0000000000000000000000000000000001", 36, "0.9999999999999999999999999999999999"},
      {"10000000000000000000000", '-', "9999999999999999999999.9", 1, "0.1"},
      {"10.00000000000000000001", '-', "10", 36, "0.00000000000000000001"},
      {"0.12345678901234567890123456789", '-', "0.12345678901234567890123456788", 36,
       "0.00000000000000000000000000001"},
      {"5", '-', "5", 36, "0"},
      {"-5", '+', "5", 36, "0"},
      // signs, and the smaller magnitude first
      {"-1.5", '+', "-2.25", 36, "-3.75"},
      {"1.5", '-', "2.25", 36, "-0.75"},
      {"-1.5", '-', "-2.25", 36, "0.75"},
      {"0.001", '-', "12345.678", 30, "-12345.677"},
      // exponents an odd number of digits apart, each way round
      {"123", '+', "0.45", 30, "123.45"},
      {"0.45", '+', "123", 30, "123.45"},
      {"1234.5", '+', "0.0006", 30, "1234.5006"},
      {"0.0006", '-', "1234.5", 30, "-1234.4994"},
  };
  for (const auto& c : cases) {
    expectCombined(number(c.a, 38, c.scale), c.operation, number(c.b, 38, c.scale), c.expected);
  }
}

TEST(PairPaths, WiderOperandsRoundOnlyWhenTheirDigitsPassTheScale) {
  // The receiver keeps scale 2; b has a wider scale.  b's digits decide
  // whether the sum must be rounded, so a last pair ending in 0 counts one
  // digit less than one that does not.
  const CombineCase cases[] = {
      {"1", '+', "0.125", 3, "1.13"},   {"1", '-', "0.125", 3, "0.88"},
      {"1", '+', "0.12", 3, "1.12"},    {"-1", '+', "-0.005", 5, "-1.01"},
      {"1.5", '+', "0.25", 4, "1.75"},  {"1.5", '+', "0.255", 4, "1.76"},
      {"1.5", '-', "0.25", 4, "1.25"},  {"0.1", '+', "0.10", 4, "0.2"},
      {"-0.01", '-', "0.005", 3, "-0.02"}, {"0.01", '-', "0.015", 3, "-0.01"},
  };
  for (const auto& c : cases) {
    expectCombined(number(c.a, 20, 2), c.operation, number(c.b, 20, c.scale), c.expected);
  }
}

TEST(PairPaths, ExponentsZeroToFortyPairsApart) {
  // 1 + 10^-k and 10^k + 1 for every shift a 38-digit number allows, and
  // the differences back, each against the digit groups and its digits.
  for (int k = 0; k <= 80; ++k) {
    const std::string small = k == 0 ? "1" : "0." + repeated('0', k - 1) + "1";
    const std::string large = "1" + repeated('0', k);
    const int scale = 80;
    const BigDecimal one = number("1", 100, scale);
    const BigDecimal tiny = number(small, 100, scale);
    BigDecimal sum(one);
    sum.add(tiny);
    EXPECT_EQ(text(sum), k == 0 ? "2" : "1." + repeated('0', k - 1) + "1") << k;
    EXPECT_EQ(bytesOf(sum), referenceCombine(one, tiny, false)) << k;
    BigDecimal back(sum);
    back.subtract(tiny);
    EXPECT_EQ(bytesOf(back), bytesOf(one)) << k;
    BigDecimal reverse(tiny);
    reverse.subtract(sum);
    EXPECT_EQ(text(reverse), "-1") << k;
    if (k <= 19) {
      const BigDecimal big = number(large, 100, scale);
      BigDecimal s(big);
      s.add(one);
      EXPECT_EQ(text(s), k == 0 ? "2" : "1" + repeated('0', k - 1) + "1") << k;
      EXPECT_EQ(bytesOf(s), referenceCombine(big, one, false)) << k;
    }
  }
}

TEST(PairPaths, ProductsAgainstKnownResults) {
  const struct {
    const char* a;
    const char* b;
    int precision;
    int scale;
    const char* expected;
  } cases[] = {
      // ties round away from zero, on either sign
      {"0.5", "0.1", 10, 1, "0.1"},
      {"-0.5", "0.1", 10, 1, "-0.1"},
      {"0.25", "0.1", 10, 2, "0.03"},
      {"0.25", "-0.1", 10, 2, "-0.03"},
      {"0.24", "0.1", 10, 2, "0.02"},
      {"1.5", "1.5", 10, 0, "2"},
      {"0.0005", "1", 10, 3, "0.001"},
      {"0.0004", "1", 10, 3, "0"},
      {"0.001", "0.001", 10, 5, "0"},
      {"0.001", "0.005", 10, 5, "0.00001"},
      // a rounding carry that adds a digit, within and past the limit
      {"9.95", "1", 10, 1, "10"},
      {"9.95", "1", 3, 1, "10"},
      {"9.95", "1", 2, 1, "overflow"},
      {"99999999999999999999", "99999999999999999999", 100, 0,
       "9999999999999999999800000000000000000001"},
      {"0.99999999999999999999", "0.99999999999999999999", 100, 0, "1"},
      {"0.99999999999999999999", "0.99999999999999999999", 100, 19, "1"},
      {"0.99999999999999999999", "0.99999999999999999999", 100, 20, "0.99999999999999999998"},
      // the integer limit
      {"123456", "100", 10, 2, "12345600"},
      {"123456", "1000", 10, 2, "overflow"},
      {"-123456", "10000", 12, 2, "-1234560000"},
      // 38 digits by 38 digits, every pair of every limb in play
      {"0.12345678901234567890123456789012345678", "0.98765432109876543210987654321098765432",
       100, 38, "0.12193263113702179522618503273386678859"},
      {"1234567890123456789.0123456789012345678", "-9876543210987654321.0987654321098765432",
       100, 38, "-12193263113702179522618503273386678858.54747751864349946654322511812221002896"},
  };
  for (const auto& c : cases) {
    BigDecimal x(c.precision, c.scale);
    x = c.a;
    BigDecimal y(100, 38);
    y = c.b;
    ASSERT_FALSE(x.isEmpty() || y.isEmpty()) << c.a << ' ' << c.b;
    BigDecimal r(x);
    const BigDecimal::Status status = r.multiply(y);
    EXPECT_EQ(status == BigDecimal::overflow ? "overflow" : text(r), c.expected)
        << c.a << " * " << c.b << " at " << c.precision << "," << c.scale;
    EXPECT_EQ(resultOf(x, y, '*'), referenceOf(x, y, '*')) << c.a << " * " << c.b;
  }
}

// --- Randomized, fixed seed ---------------------------------------------------

// A random value of 1 to maxDigits significant digits whose leading digit
// lies at a power between -lowest and highest, with trailing zeros and runs
// of 9s and 0s now and then, so that carries and borrows travel far.
std::string randomValue(std::mt19937& random, int maxDigits, int highest, int lowest) {
  const int digits = 1 + static_cast<int>(random() % static_cast<unsigned>(maxDigits));
  const int lead = -lowest + static_cast<int>(random() % static_cast<unsigned>(highest + lowest + 1));
  const int style = static_cast<int>(random() % 4);
  std::string d;
  for (int i = 0; i < digits; ++i) {
    char c = static_cast<char>('0' + random() % 10);
    if (style == 1) c = random() % 8 != 0 ? '9' : c;
    if (style == 2) c = random() % 8 != 0 ? '0' : c;
    d += c;
  }
  d[0] = static_cast<char>('1' + random() % 9);
  std::string t;
  if (lead >= 0) {
    // digits at powers lead .. lead - digits + 1
    if (digits <= lead + 1) {
      t = d + repeated('0', lead + 1 - digits);
    } else {
      t = d.substr(0, static_cast<size_t>(lead + 1)) + "." + d.substr(static_cast<size_t>(lead + 1));
    }
  } else {
    t = "0." + repeated('0', -lead - 1) + d;
  }
  return random() % 2 != 0 ? "-" + t : t;
}

TEST(PairPaths, RandomSumsDifferencesAndProductsMatchTheDigitGroups) {
  const struct {
    int precision;
    int scale;
    int maxDigits;
  } shapes[] = {
      {100, 50, 38}, {38, 8, 38}, {38, 0, 38}, {20, 10, 20}, {10, 2, 8}, {100, 100, 46},
      {100, 30, 48}, {60, 20, 40}, {9, 9, 9},
  };
  std::mt19937 random(20261208);
  int compared = 0;
  for (const auto& shape : shapes) {
    const int highest = shape.precision - shape.scale - 1;
    for (int i = 0; i < 6000; ++i) {
      const BigDecimal a =
          number(randomValue(random, shape.maxDigits, highest, shape.scale), shape.precision, shape.scale);
      // b sometimes at another precision and scale, so that sums round
      const bool other = random() % 4 == 0;
      const int bScale = other ? static_cast<int>(random() % 40) : shape.scale;
      const int bPrecision = other ? 100 : shape.precision;
      const BigDecimal b =
          number(randomValue(random, shape.maxDigits, bPrecision - bScale - 1, bScale), bPrecision, bScale);
      if (a.isEmpty() || b.isEmpty()) continue;
      for (char operation : {'+', '-', '*'}) {
        ASSERT_EQ(resultOf(a, b, operation), referenceOf(a, b, operation))
            << text(a) << ' ' << operation << ' ' << text(b) << " at " << shape.precision << ","
            << shape.scale;
        ++compared;
      }
    }
  }
  EXPECT_GT(compared, 100000);
}

TEST(PairPaths, OperandsWithOneLeadingPowerMatchTheDigitGroups) {
  // Both leading digits at one power: the sums skip the line-up.  Lengths,
  // signs and runs of 9s vary, so that sums carry into a new leading digit
  // and differences cancel leading pairs or the whole value.
  std::mt19937 random(1208);
  int compared = 0;
  for (int lead : {-30, -11, -10, -9, -1, 0, 1, 9, 10, 11, 28}) {
    for (int i = 0; i < 3000; ++i) {
      const BigDecimal a = number(randomValue(random, 38, lead, -lead), 100, 60);
      const BigDecimal b = number(randomValue(random, 38, lead, -lead), 100, 60);
      if (a.isEmpty() || b.isEmpty()) continue;
      for (char operation : {'+', '-'}) {
        ASSERT_EQ(resultOf(a, b, operation), referenceOf(a, b, operation))
            << text(a) << ' ' << operation << ' ' << text(b);
        ++compared;
      }
    }
  }
  EXPECT_GT(compared, 60000);
  // At the integer limit: a carry out of the leading digit overflows, a sum
  // without one does not.
  expectCombined(number("9.5", 3, 2), '+', number("0.5", 3, 2), "overflow");
  expectCombined(number("5.5", 3, 2), '+', number("4.4", 3, 2), "9.9");
  expectCombined(number("-9.5", 3, 2), '-', number("0.5", 3, 2), "overflow");
}

TEST(PairPaths, CopiesOfValuesThatOnceWereLongerKeepTheirBytes) {
  // A copy carries the value only; whatever lies past a shorter value's
  // terminator in the source must not reach the copy's value or order.
  const char* longer = "0.1234567890123456789012345678901234567890123456789012345678901";
  for (const char* shorter : {"0.5", "0.1234567890123456", "0.12345678901234567890123456789012",
                              "-0.1234567890123456789012345678901234", "0", "12"}) {
    BigDecimal source(100, 70);
    source = longer;
    source = shorter;
    const BigDecimal copy(source);
    EXPECT_EQ(bytesOf(copy), bytesOf(source)) << shorter;
    EXPECT_EQ(BigDecimal::compare(copy, source), 0) << shorter;
    EXPECT_EQ(text(copy), text(source)) << shorter;
    BigDecimal sum(copy);
    sum.add(source);
    EXPECT_EQ(bytesOf(sum), referenceCombine(source, source, false)) << shorter;
  }
  BigDecimal empty(100, 70);
  empty = longer;
  empty.setStatus(BigDecimal::overflow);
  const BigDecimal copy(empty);
  EXPECT_TRUE(copy.isEmpty());
  EXPECT_EQ(bytesOf(copy), "");
}

TEST(PairPaths, ProductsReadOnlyTheOperandsOwnPairs) {
  // The short product reads its operands sixteen pairs at a time, past the
  // end of shorter values.  Receivers and operands here once held a longer
  // value, so the bytes past their terminators are leftovers; every length
  // from 1 to 20 pairs on both sides, with every sign, must still give the
  // digit groups' result.
  const std::string longer = "-0." + repeated('7', 70);
  std::mt19937 random(1217);
  int compared = 0;
  for (int pairsA = 1; pairsA <= 20; ++pairsA) {
    for (int pairsB = 1; pairsB <= 20; ++pairsB) {
      for (int signs = 0; signs < 4; ++signs) {
        auto make = [&](int pairs, bool negative) {
          std::string digits;
          for (int i = 0; i < 2 * pairs; ++i) digits += static_cast<char>('0' + random() % 10);
          digits[0] = static_cast<char>('1' + random() % 9);
          digits.back() = static_cast<char>('1' + random() % 9);
          BigDecimal d(100, 80);
          d = longer.c_str();
          d = ((negative ? "-0." : "0.") + digits).c_str();
          // The leftovers are there: the byte after the terminator is the
          // longer value's.
          const DecimalEncoding e = d.encoding();
          EXPECT_NE(e.bytes[e.length + 1], 0) << pairs;
          return d;
        };
        BigDecimal a = make(pairsA, (signs & 1) != 0);
        const BigDecimal b = make(pairsB, (signs & 2) != 0);
        const Bytes expected = referenceMultiply(a, b);
        a.multiply(b);
        ASSERT_EQ(bytesOf(a), expected) << pairsA << " x " << pairsB << " pairs, signs " << signs;
        ++compared;
      }
    }
  }
  EXPECT_EQ(compared, 1600);
}

TEST(PairPaths, OperandsMayBeTheReceiver) {
  std::mt19937 random(7);
  for (int i = 0; i < 2000; ++i) {
    const BigDecimal a = number(randomValue(random, 38, 30, 8), 100, 38);
    for (char operation : {'+', '-', '*'}) {
      BigDecimal r(a);
      if (operation == '+') r.add(r);
      if (operation == '-') r.subtract(r);
      if (operation == '*') r.multiply(r);
      EXPECT_EQ(bytesOf(r), referenceOf(a, a, operation)) << text(a) << operation;
    }
  }
}

}  // namespace
}  // namespace bw
