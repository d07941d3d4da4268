// Blocks that numbers take from the module allocator: none.
//
// A number keeps its encoding in an array of its own, so a copy, a parse, a
// new result or a result in place never allocates, whatever the lengths;
// only toText's string does.  Any block here would mean the encoding, or a
// buffer beside it, went back to the heap.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "decimal/big_decimal.h"
#include "foundation/allocator.h"

namespace bw {
namespace {

long gBlocks = 0;

void* BW_CALL countingAllocate(uint32_t count) {
  ++gBlocks;
  return std::malloc(count);
}

void BW_CALL countingRelease(void* block) { std::free(block); }

class ResultBlocks : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    QelString warm;  // the shared empty representation comes from the runtime heap
    (void)warm;
    installAllocatorHooks(countingAllocate, countingRelease);
  }
};

// "0." and `digits` digits, the first one given, the others a pattern of
// the step (different steps give operands that differ all along).
std::string digitsText(int digits, char first, int step) {
  std::string s = "0.";
  s += first;
  for (int i = 1; i < digits; ++i) s += static_cast<char>('0' + (i * step + 3) % 10);
  return s;
}

TEST_F(ResultBlocks, NoneForANewResultNorInPlace) {
  const struct {
    int digits;
    char op;
  } cases[] = {{8, '+'}, {8, '-'}, {8, '*'}, {38, '+'}, {38, '-'}, {38, '*'},
               {60, '+'}, {60, '*'}, {100, '+'}, {100, '-'}, {100, '*'}};
  for (const auto& c : cases) {
    BigDecimal a(100, c.digits);
    a = digitsText(c.digits, '1', 7).c_str();
    BigDecimal b(100, c.digits);
    b = digitsText(c.digits, '2', 3).c_str();
    auto apply = [&c](BigDecimal& r, const BigDecimal& other) {
      if (c.op == '+') r.add(other);
      if (c.op == '-') r.subtract(other);
      if (c.op == '*') r.multiply(other);
    };
    long before = gBlocks;
    {
      BigDecimal r(a);
      apply(r, b);
      EXPECT_FALSE(r.isEmpty());
    }
    EXPECT_EQ(gBlocks - before, 0) << c.digits << " digits, " << c.op << ", new result";

    BigDecimal r(a);
    apply(r, b);
    before = gBlocks;
    for (int i = 0; i < 4; ++i) {
      apply(r, b);
      // Sums are undone each time, so that they keep within the integer
      // limit (none at 100 digits); products shrink towards zero.
      if (c.op == '+') r.subtract(b);
      if (c.op == '-') r.add(b);
    }
    EXPECT_FALSE(r.isEmpty());
    EXPECT_EQ(gBlocks - before, 0) << c.digits << " digits, " << c.op << ", in place";
  }
}

// Every other operation, one after another, on numbers of every length;
// toText's strings are made before counting starts and only reused.
TEST_F(ResultBlocks, NoneForASequenceOfOperations) {
  const std::string longest = "-" + digitsText(100, '9', 7).substr(2);  // 100 integer digits
  QelString text;
  text.assign(longest.c_str());
  QelString out;
  out.assign(longest.c_str());  // room for the longest text
  const long before = gBlocks;
  {
    BigDecimal a(100, 0);
    a = text;
    BigDecimal b(a);
    b.negate();
    b = a;
    BigDecimal c(100, 50);
    c = "0.00000000000000000000000000000000000000000000000007";
    c = c;
    c.add(c);
    c.multiply(c);
    c.subtract(a);
    c.divide(BigDecimal("3"));
    c.remainder(BigDecimal("7"));
    c.divideInteger(BigDecimal("2"));
    c.round(3);
    c.setPrecision(60, 10);
    const BigDecimal p = BigDecimal("1.5").power(20);
    const BigDecimal q = a + b - c * p / BigDecimal(4) % BigDecimal(9);
    c.divide(BigDecimal(0));  // leaves fifty 9s
    a.toText(out);
    q.toText(out);
    EXPECT_FALSE(q.isEmpty());
    EXPECT_FALSE(c.isEmpty());
    EXPECT_EQ(BigDecimal::compare(a, b), 0);
  }
  EXPECT_EQ(gBlocks - before, 0);
}

}  // namespace
}  // namespace bw
