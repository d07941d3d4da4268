// Positions and counts of the string tags are read from whole numbers
// straight out of their encoding; this holds that reading to the decimal
// route (subtract one, compare with the 32-bit bounds, toInteger) on every
// kind of number a page can give.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "decimal/big_decimal.h"
#include "tags/string_parameters.h"

namespace bw {
namespace {

uint32_t byDecimals(const BigDecimal& value) {
  if (value.isEmpty()) return 0;
  if (value >= BigDecimal("4294967296") || value < BigDecimal(INT32_MIN)) return 0xFFFFFFFFu;
  return static_cast<uint32_t>(value.toInteger());
}

uint32_t positionByDecimals(const BigDecimal& value) {
  BigDecimal position(value);
  position.subtract(BigDecimal(1));
  return byDecimals(position);
}

void expectSame(const std::string& text) {
  BigDecimal value;
  value = text.c_str();
  EXPECT_EQ(unsignedFromDecimal(value), byDecimals(value)) << text;
  EXPECT_EQ(positionFromPage(value), positionByDecimals(value)) << text;
}

TEST(PositionConversion, HandPickedNumbers) {
  const std::vector<std::string> texts = {
      "", "0", "-0", "1", "2", "-1", "0.5", "-0.5", "1.5", "-1.5", "10", "100", "1000000",
      "99", "100.0", "2147483647", "2147483648", "-2147483648", "-2147483649", "4294967295",
      "4294967296", "4294967297", "9999999999", "10000000000", "-9999999999", "12345678901234",
      "0.00000001", "7.00000001", "abc", "1x", "  42  ", "1000000000", "1000000001", "20",
  };
  for (const std::string& text : texts) expectSame(text);
}

TEST(PositionConversion, RandomWholeAndFractionalNumbers) {
  std::mt19937_64 random(4);
  for (int i = 0; i < 20000; ++i) {
    const int digits = 1 + static_cast<int>(random() % 12);
    std::string text = random() % 3 == 0 ? "-" : "";
    for (int d = 0; d < digits; ++d) text += static_cast<char>('0' + random() % 10);
    if (random() % 4 == 0) {
      text += '.';
      const int fraction = 1 + static_cast<int>(random() % 3);
      for (int d = 0; d < fraction; ++d) text += static_cast<char>(random() % 2 ? '0' : '0' + random() % 10);
    }
    expectSame(text);
  }
}

}  // namespace
}  // namespace bw
