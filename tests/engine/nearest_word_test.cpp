// "Did you mean": which known word a misspelt one is taken for, and when a
// guess is too far off to offer.
#include <gtest/gtest.h>

#include "engine/nearest_word.h"

namespace bw {
namespace {

TEST(NearestWord, CountsInsertionsDeletionsChangesAndSwapsIgnoringCase) {
  struct Case {
    const char* a;
    const char* b;
    size_t distance;
  } const cases[] = {
      {"", "", 0},           {"abc", "", 3},           {"qelMath", "QELMATH", 0},
      {"qelMaht", "qelMath", 1},  // a swap is one edit
      {"toUppr", "toUpper", 1},   {"equal", "equals", 1},  {"==", "=", 1},
      {"kitten", "sitting", 3},   {"ca", "abc", 3},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(editDistance(c.a, c.b), c.distance) << c.a << " / " << c.b;
    EXPECT_EQ(editDistance(c.b, c.a), c.distance) << c.b << " / " << c.a;
  }
}

TEST(NearestWord, SuggestsOnlyAWordWithinAThirdOfTheLength) {
  const std::vector<const char*> tags = {"qelIf", "qelInlineIf", "qelMath", "qelString"};
  EXPECT_STREQ(nearestWord("qelMaht", tags), "qelMath");
  EXPECT_STREQ(nearestWord("QELSTRNG", tags), "qelString");
  EXPECT_STREQ(nearestWord("qelIff", tags), "qelIf");
  EXPECT_EQ(nearestWord("qelBanana", tags), nullptr);
  EXPECT_EQ(nearestWord("x", tags), nullptr);
  // Ties go to the first candidate.
  EXPECT_STREQ(nearestWord("ab", {"aa", "bb"}), "aa");
}

}  // namespace
}  // namespace bw
