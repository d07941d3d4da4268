// Sums, differences and products against exact arithmetic on decimal text
// done here, digit by digit.  Sums and differences are formed on the stored
// pairs, eight to a word, so the fixed cases aim at carries and borrows that
// cross word boundaries, results whose leading digit moves to the other half
// of a pair and operands whose exponents differ by an odd number; products
// are checked for their rounding to scale, half away from zero.  Each also
// gets a seeded random comparison over several precisions and scales.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "decimal/big_decimal.h"

namespace bw {
namespace {

std::string text(const BigDecimal& d) { return d.toText().cString(); }

// --- Exact reference: signed decimal texts added digit by digit -------------

struct Exact {
  bool negative = false;
  std::string digits;  // no point; the last `fraction` of them after it
  int fraction = 0;
};

Exact exactOf(const std::string& s) {
  Exact e;
  size_t i = 0;
  if (i < s.size() && s[i] == '-') {
    e.negative = true;
    ++i;
  }
  for (; i < s.size(); ++i) {
    if (s[i] == '.') {
      e.fraction = static_cast<int>(s.size() - i - 1);
    } else {
      e.digits += s[i];
    }
  }
  return e;
}

// Magnitudes as equal-length digit strings with `fraction` digits after the
// point; compares, adds and subtracts them as plain text.
std::string padded(const Exact& e, int fraction, size_t width) {
  std::string d = e.digits + std::string(static_cast<size_t>(fraction - e.fraction), '0');
  return std::string(width - d.size(), '0') + d;
}

std::string formatExact(bool negative, std::string digits, int fraction);

std::string exactSum(const std::string& aText, const std::string& bText, bool subtract) {
  Exact a = exactOf(aText);
  Exact b = exactOf(bText);
  if (subtract) b.negative = !b.negative;
  const int fraction = std::max(a.fraction, b.fraction);
  const size_t width =
      std::max(a.digits.size() + static_cast<size_t>(fraction - a.fraction),
               b.digits.size() + static_cast<size_t>(fraction - b.fraction)) + 1;
  std::string x = padded(a, fraction, width);
  std::string y = padded(b, fraction, width);
  bool negative = a.negative;
  std::string r(width, '0');
  if (a.negative == b.negative) {
    int carry = 0;
    for (size_t i = width; i-- > 0;) {
      const int v = (x[i] - '0') + (y[i] - '0') + carry;
      r[i] = static_cast<char>('0' + v % 10);
      carry = v / 10;
    }
  } else {
    if (x < y) {
      std::swap(x, y);
      negative = b.negative;
    }
    int borrow = 0;
    for (size_t i = width; i-- > 0;) {
      int v = (x[i] - '0') - (y[i] - '0') - borrow;
      borrow = v < 0 ? 1 : 0;
      r[i] = static_cast<char>('0' + v + 10 * borrow);
    }
  }
  return formatExact(negative, r, fraction);
}

// Formats magnitude digits with `fraction` of them after the point.
std::string formatExact(bool negative, std::string digits, int fraction) {
  if (static_cast<int>(digits.size()) <= fraction) {
    digits = std::string(static_cast<size_t>(fraction) - digits.size() + 1, '0') + digits;
  }
  std::string whole = digits.substr(0, digits.size() - static_cast<size_t>(fraction));
  std::string part = digits.substr(digits.size() - static_cast<size_t>(fraction));
  whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size()));
  part.erase(part.find_last_not_of('0') + 1);
  if (whole.empty() && part.empty()) return "0";
  std::string out = negative ? "-" : "";
  out += whole.empty() ? "0" : whole;
  if (!part.empty()) out += "." + part;
  return out;
}

// The exact product rounded to `scale` digits after the point, half away
// from zero on the first dropped digit.
std::string roundedProduct(const std::string& aText, const std::string& bText, int scale) {
  const Exact a = exactOf(aText);
  const Exact b = exactOf(bText);
  std::vector<int> column(a.digits.size() + b.digits.size(), 0);
  for (size_t i = 0; i < a.digits.size(); ++i) {
    for (size_t j = 0; j < b.digits.size(); ++j) {
      column[i + j + 1] += (a.digits[i] - '0') * (b.digits[j] - '0');
    }
  }
  for (size_t k = column.size(); k-- > 1;) {
    column[k - 1] += column[k] / 10;
    column[k] %= 10;
  }
  std::string digits;
  for (int v : column) digits += static_cast<char>('0' + v);
  int fraction = a.fraction + b.fraction;
  if (fraction > scale) {
    const size_t keep = digits.size() - static_cast<size_t>(fraction - scale);
    const bool up = digits[keep] >= '5';
    digits.resize(keep);
    fraction = scale;
    digits.insert(digits.begin(), '0');
    for (size_t k = digits.size(); up && k-- > 0;) {
      if (digits[k] == '9') {
        digits[k] = '0';
      } else {
        ++digits[k];
        break;
      }
    }
  }
  return formatExact(a.negative != b.negative, digits, fraction);
}

int integerDigits(const std::string& t) {
  const size_t start = t[0] == '-' ? 1 : 0;
  const size_t point = std::min(t.find('.'), t.size());
  const std::string whole = t.substr(start, point - start);
  return whole == "0" ? 0 : static_cast<int>(whole.size());
}

// The encoding an exactly parsed text gets: a result must be stored in the
// same canonical form (no trailing "00" pair, leading digit first).
std::string canonical(const std::string& t) {
  const size_t point = t.find('.');
  BigDecimal wide(100, point == std::string::npos ? 0 : static_cast<int>(t.size() - point - 1));
  wide = t.c_str();
  return std::string(wide.encoding().bytes, wide.encoding().length);
}

// r is a after an operation that returned status and should give the exact
// text expected: an overflow when that needs more integer digits than a has
// room for, otherwise that text in canonical encoding at a's precision.
void expectResult(const BigDecimal& a, const BigDecimal& r, BigDecimal::Status status,
                  const std::string& expected, const std::string& what) {
  if (integerDigits(expected) > a.integerLimit()) {
    EXPECT_EQ(status, BigDecimal::overflow) << what;
    EXPECT_TRUE(r.isEmpty()) << what;
    return;
  }
  ASSERT_EQ(status, BigDecimal::ok) << what;
  EXPECT_EQ(text(r), expected) << what;
  if (expected.size() <= 101) {
    EXPECT_EQ(std::string(r.encoding().bytes, r.encoding().length), canonical(expected)) << what;
  }
  EXPECT_EQ(r.precision(), a.precision()) << what;
  EXPECT_EQ(r.scale(), a.scale()) << what;
}

std::string describe(const BigDecimal& a, const char* op, const BigDecimal& b) {
  return text(a) + op + text(b) + " at (" + std::to_string(a.precision()) + "," +
         std::to_string(a.scale()) + ")";
}

void expectSum(const BigDecimal& a, const BigDecimal& b, bool subtract) {
  BigDecimal r(a);
  const BigDecimal::Status status = subtract ? r.subtract(b) : r.add(b);
  expectResult(a, r, status, exactSum(text(a), text(b), subtract),
               describe(a, subtract ? " - " : " + ", b));
}

void expectProduct(const BigDecimal& a, const BigDecimal& b) {
  BigDecimal r(a);
  const BigDecimal::Status status = r.multiply(b);
  expectResult(a, r, status, roundedProduct(text(a), text(b), a.scale()), describe(a, " * ", b));
}

BigDecimal at(int precision, int scale, const std::string& t) {
  BigDecimal d(precision, scale);
  d = t.c_str();
  return d;
}

// --- Fixed cases ---------------------------------------------------------------

TEST(StoredPairSums, WordBoundariesAndRegrouping) {
  const struct {
    int precision, scale;
    const char* a;
    const char* op;
    const char* b;
    const char* expected;
  } cases[] = {
      // carries through whole words of 99 pairs
      {100, 50, "9999999999999999999999999999999999.99999999999999999999999999999999", "+",
       "0.00000000000000000000000000000001", "10000000000000000000000000000000000"},
      {38, 8, "99999999999999999999.99999999", "+", "0.00000001", "100000000000000000000"},
      {100, 0, "9999999999999999", "+", "1", "10000000000000000"},
      {100, 0, "99999999999999999999999999999999999999999999999999", "+", "1",
       "100000000000000000000000000000000000000000000000000"},
      // borrows through whole words of 00 pairs; the leading digit moves down
      {100, 0, "10000000000000000", "-", "1", "9999999999999999"},
      {38, 8, "1000000000000000000000", "-", "0.00000001", "999999999999999999999.99999999"},
      {100, 50, "1", "-", "0.00000000000000000000000000000000000000000000000001",
       "0.99999999999999999999999999999999999999999999999999"},
      // cancellation of many leading digits
      {38, 8, "123456789012345678.12345678", "-", "123456789012345678.12345677", "0.00000001"},
      {38, 8, "-5000.5", "+", "5000.49999999", "-0.00000001"},
      // exponents one apart: the other operand's digits move by one place
      {38, 8, "12.5", "+", "3.25", "15.75"},
      {38, 8, "100", "-", "0.5", "99.5"},
      {38, 8, "0.05", "+", "0.5", "0.55"},
      {38, 8, "-123456789.1234567", "+", "12345678.91234567", "-111111110.21111103"},
      // signs
      {38, 8, "-2.5", "-", "-2.5", "0"},
      {38, 8, "-2.5", "-", "2.5", "-5"},
      {38, 8, "2.5", "+", "-7", "-4.5"},
      // a result that ends on a whole "00" pair is stored without it
      {38, 8, "0.15", "+", "0.85", "1"},
      {38, 8, "12.34", "+", "7.66", "20"},
      // former bugs
      // the shifted operand's last digit, alone in the first slot of a word
      {38, 8, "906019951.9009", "+", "291090900009269243009990100594",
       "291090900009269243010896120545.9009"},
      {38, 8, "906019951.9009", "-", "291090900009269243009990100594",
       "-291090900009269243009084080642.0991"},
  };
  for (const auto& c : cases) {
    BigDecimal a = at(c.precision, c.scale, c.a);
    const BigDecimal b = at(c.precision, c.scale, c.b);
    ASSERT_FALSE(a.isEmpty()) << c.a;
    ASSERT_FALSE(b.isEmpty()) << c.b;
    const bool subtract = c.op[0] == '-';
    expectSum(a, b, subtract);
    if (subtract) {
      a.subtract(b);
    } else {
      a.add(b);
    }
    EXPECT_EQ(text(a), c.expected) << c.a << " " << c.op << " " << c.b;
  }
}

TEST(StoredPairSums, OverflowAtTheIntegerLimit) {
  const struct {
    int precision, scale;
    const char* a;
    const char* op;
    const char* b;
    BigDecimal::Status status;
  } cases[] = {
      {38, 8, "999999999999999999999999999999", "+", "1", BigDecimal::overflow},
      {38, 8, "999999999999999999999999999999", "+", "0.99999999", BigDecimal::ok},
      {38, 8, "-999999999999999999999999999999", "-", "1", BigDecimal::overflow},
      {10, 8, "99.5", "+", "0.5", BigDecimal::overflow},
      {10, 8, "99.5", "+", "0.49999999", BigDecimal::ok},
      {10, 10, "0.5", "+", "0.5", BigDecimal::overflow},
  };
  for (const auto& c : cases) {
    BigDecimal a = at(c.precision, c.scale, c.a);
    const BigDecimal b = at(c.precision, c.scale, c.b);
    const BigDecimal::Status status = c.op[0] == '-' ? a.subtract(b) : a.add(b);
    EXPECT_EQ(status, c.status) << c.a << " " << c.op << " " << c.b;
    EXPECT_EQ(a.isEmpty(), c.status != BigDecimal::ok) << c.a << " " << c.op << " " << c.b;
  }
}

TEST(StoredPairSums, ReceiverSharingItsStringLeavesTheOtherAlone) {
  const BigDecimal kept("0.5");
  BigDecimal r(kept);
  r.add(BigDecimal("0.25"));
  EXPECT_EQ(text(r), "0.75");
  EXPECT_EQ(text(kept), "0.5");
}

// Every place an operand can start in the line-up of a short sum: one
// operand fixed, the other a single digit or a run of digits moved down one
// place at a time, so that the exponent difference takes odd and even
// values and the moved operand starts in every byte of the first words.
TEST(StoredPairSums, EveryStartingPlaceOfAShortOperand) {
  const char* const fixed[] = {"1", "-1", "98765432109876543210.12345678", "0.5"};
  // one pair; five, six and seven pairs (read as one word); more than eight
  const char* const moved[] = {"7", "123456789", "98765432109", "1234567890123",
                               "12345678901234567", "99999999999999999999"};
  for (const char* f : fixed) {
    for (const char* m : moved) {
      for (int shift = 0; shift <= 30; ++shift) {
        // m times 10^-shift, written out.
        std::string digits(m);
        std::string t;
        const int whole = static_cast<int>(digits.size()) - shift;
        if (whole > 0) {
          t = digits.substr(0, static_cast<size_t>(whole));
          if (shift > 0) t += "." + digits.substr(static_cast<size_t>(whole));
        } else {
          t = "0." + std::string(static_cast<size_t>(-whole), '0') + digits;
        }
        for (const bool negativeMoved : {false, true}) {
          const std::string other = negativeMoved ? "-" + t : t;
          const BigDecimal a = at(100, 50, f);
          const BigDecimal b = at(100, 50, other);
          ASSERT_FALSE(b.isEmpty()) << other;
          expectSum(a, b, false);
          expectSum(a, b, true);
          expectSum(b, a, false);
          expectSum(b, a, true);
        }
      }
    }
  }
}

// Results are written straight into the receiver's own string.  The table
// covers receivers that share their string with a longer or a shorter
// number (the copy made for the receiver has a buffer of its own size), and
// results longer than the receiver's buffer; the number that shared the
// string must keep its value.
TEST(ResultsInTheReceiversString, SharedStringsAndResultsThatOutgrowTheBuffer) {
  const std::string longValue = "1234567890123456789012345678901234567890.12345678901234567890";
  const std::string shortValue = "0.5";
  const struct {
    const char* receiver;
    const char* op;
    const char* other;
  } cases[] = {
      {longValue.c_str(), "*", "0.000000000000000000000000000000000000001"},
      {longValue.c_str(), "*", "2"},
      {longValue.c_str(), "+", "-1234567890123456789012345678901234567890"},
      {longValue.c_str(), "-", "1234567890123456789012345678901234567890.1234567890123456789"},
      {shortValue.c_str(), "+", longValue.c_str()},
      {shortValue.c_str(), "-", longValue.c_str()},
      {shortValue.c_str(), "*", longValue.c_str()},
      {"-7", "+", "98765432109876543210987654321098765432109876543210.5"},
  };
  for (const auto& c : cases) {
    const BigDecimal kept = at(100, 20, c.receiver);
    const BigDecimal other = at(100, 20, c.other);
    ASSERT_FALSE(kept.isEmpty()) << c.receiver;
    ASSERT_FALSE(other.isEmpty()) << c.other;
    if (c.op[0] == '*') {
      expectProduct(kept, other);
    } else {
      expectSum(kept, other, c.op[0] == '-');
    }
    EXPECT_EQ(text(kept), text(at(100, 20, c.receiver))) << c.receiver << " " << c.op << " " << c.other;
    // The same in place on a receiver of its own, twice, so that the second
    // operation starts from a string the first one wrote.
    BigDecimal own = at(100, 20, c.receiver);
    BigDecimal twice(own);
    for (int round = 0; round < 2; ++round) {
      const BigDecimal before(twice);
      const std::string expected = c.op[0] == '*' ? roundedProduct(text(before), text(other), 20)
                                                  : exactSum(text(before), text(other), c.op[0] == '-');
      if (c.op[0] == '*') {
        twice.multiply(other);
      } else if (c.op[0] == '-') {
        twice.subtract(other);
      } else {
        twice.add(other);
      }
      EXPECT_EQ(text(twice), expected) << c.receiver << " " << c.op << " " << c.other << " round " << round;
    }
  }
}

// A string keeps its buffer when its value gets shorter; a copy made of it
// for a receiver that shares it then has a smaller buffer than the one it
// shared.  A long result must still fit.
TEST(ResultsInTheReceiversString, ReceiverOnceLongThenSharedGetsALongResult) {
  const BigDecimal big = at(100, 20, "98765432109876543210987654321098765432109876543210.5");
  for (const char op : {'*', '+', '-'}) {
    BigDecimal x = at(100, 20, "1234567890123456789012345678901234567890.12345678901234567890");
    x.multiply(at(100, 20, "0.00000000000000000001"));  // in place: short now, long buffer
    const BigDecimal shared(x);
    BigDecimal r(shared);
    const std::string before = text(shared);
    const std::string expected = op == '*' ? roundedProduct(before, text(big), 20)
                                           : exactSum(before, text(big), op == '-');
    if (op == '*') {
      r.multiply(big);
    } else if (op == '-') {
      r.subtract(big);
    } else {
      r.add(big);
    }
    EXPECT_EQ(text(r), expected) << op;
    EXPECT_EQ(text(shared), before) << op;
  }
}

// --- Random comparison -------------------------------------------------------------

// A d-digit operand for (precision, scale): up to the room before the point
// and up to scale + 1 digits after it, digits biased towards 0 and 9 so that
// long carries and borrows are common.
std::string randomText(std::mt19937& random, int precision, int scale) {
  const int room = precision - scale;
  const int whole = static_cast<int>(random() % static_cast<unsigned>(room + 1));
  const int part = static_cast<int>(random() % static_cast<unsigned>(scale + 2));
  auto digit = [&random]() {
    const unsigned pick = random() % 4;
    return pick == 0 ? '0' : pick == 1 ? '9' : static_cast<char>('0' + random() % 10);
  };
  std::string s = random() % 2 ? "-" : "";
  for (int i = 0; i < whole; ++i) s += digit();
  if (whole == 0) s += '0';
  if (part > 0) {
    s += '.';
    for (int i = 0; i < part; ++i) s += digit();
  }
  return s;
}

const struct {
  int precision, scale;
} kSettings[] = {{38, 8}, {38, 0}, {38, 30}, {8, 2}, {100, 8}, {100, 50}, {100, 99}, {17, 16}};

TEST(StoredPairSums, AgreeWithExactTextArithmetic) {
  std::mt19937 random(20261208);
  for (const auto& s : kSettings) {
    for (int i = 0; i < 3000; ++i) {
      const BigDecimal a = at(s.precision, s.scale, randomText(random, s.precision, s.scale));
      // The other operand sometimes comes from a narrower setting, which a
      // sum takes without rounding.
      const int otherScale = random() % 3 == 0 ? static_cast<int>(random() % static_cast<unsigned>(s.scale + 1)) : s.scale;
      const BigDecimal b = at(s.precision, otherScale, randomText(random, s.precision, otherScale));
      if (a.isZeroOrEmpty() || b.isZeroOrEmpty()) continue;
      expectSum(a, b, false);
      expectSum(a, b, true);
      if (HasFailure()) return;
    }
  }
}

TEST(Products, RoundHalfAwayFromZeroAtScale) {
  const struct {
    int precision, scale;
    const char* a;
    const char* b;
    const char* expected;
  } cases[] = {
      {38, 8, "0.00010001", "0.00005", "0.00000001"},      // 5.0005e-9 rounds up
      {38, 8, "0.0001", "0.00004999", "0"},                // 4.999e-9 rounds down
      {38, 8, "-0.0001", "0.00005", "-0.00000001"},        // away from zero
      {38, 8, "99999999.99999999", "99999999.99999999", "9999999999999998"},  // + 1e-16
      {38, 2, "0.995", "1", "1"},                          // 0.995 kept by the parser
      {38, 2, "9.99", "0.995", "9.94"},                    // 9.94005
      {100, 50, "0.99999999999999999999999999999999999999999999999999", "0.99999999999999999999999999999999999999999999999999",
       "0.99999999999999999999999999999999999999999999999998"},
  };
  for (const auto& c : cases) {
    BigDecimal a = at(c.precision, c.scale, c.a);
    const BigDecimal b = at(c.precision, c.scale, c.b);
    expectProduct(a, b);
    a.multiply(b);
    EXPECT_EQ(text(a), c.expected) << c.a << " * " << c.b;
  }
}

// Products whose coefficients fill one to several groups of eight digits
// (the fixed-size products end at 16 and at 40 digits), with the leading
// digit at every place of its group and of its pair, both signs.
TEST(Products, EveryLengthAndLeadingPlace) {
  const char* const factors[] = {"3", "7", "11", "99", "1234567", "99999999", "123456789",
                                 "9999999999999999", "12345678901234567",
                                 "9999999999999999999999999999999999999999",
                                 "12345678901234567890123456789012345678901"};
  for (const char* x : factors) {
    for (const char* y : factors) {
      for (int places = 0; places <= 9; ++places) {
        // y times 10^-places, so that the product's leading digit moves.
        std::string t(y);
        const int whole = static_cast<int>(t.size()) - places;
        std::string moved = whole > 0 ? t.substr(0, static_cast<size_t>(whole)) +
                                            (places > 0 ? "." + t.substr(static_cast<size_t>(whole)) : "")
                                      : "0." + std::string(static_cast<size_t>(-whole), '0') + t;
        for (const bool negative : {false, true}) {
          for (const int scale : {0, 9, 50}) {
            const BigDecimal a = at(100, scale, x);
            const BigDecimal b = at(100, 50, negative ? "-" + moved : moved);
            expectProduct(a, b);
          }
        }
      }
    }
  }
}

TEST(Products, AgreeWithExactTextArithmetic) {
  std::mt19937 random(20261209);
  for (const auto& s : kSettings) {
    for (int i = 0; i < 2000; ++i) {
      const BigDecimal a = at(s.precision, s.scale, randomText(random, s.precision, s.scale));
      const BigDecimal b = at(s.precision, s.scale, randomText(random, s.precision, s.scale));
      if (a.isZeroOrEmpty() || b.isZeroOrEmpty()) continue;
      expectProduct(a, b);
      if (HasFailure()) return;
    }
  }
}

}  // namespace
}  // namespace bw
