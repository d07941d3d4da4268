// Blocks that a sum or a product takes from the module allocator.
//
// Results are written straight into the receiver's string: in place (the
// receiver owns its string) nothing is allocated, and a new result (the
// receiver shares its string with the number it was copied from) takes
// exactly one block, its own string, whatever the lengths.  A second block
// would mean a buffer beside the string, or a smallest string replaced by a
// larger one.
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

TEST_F(ResultBlocks, OneForANewResultNoneInPlace) {
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
      BigDecimal r(a);  // shares a's string
      apply(r, b);
      EXPECT_FALSE(r.isEmpty());
    }
    EXPECT_EQ(gBlocks - before, 1) << c.digits << " digits, " << c.op << ", new result";

    // In place: r owns its string from its first result on, and the
    // results stay within that string's buffer.
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

}  // namespace
}  // namespace bw
