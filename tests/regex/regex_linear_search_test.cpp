// The search against the step-by-step walk of reference_walk.h: on the
// differential generator's random patterns, with short and long random
// subjects, with the default walk budget and with the segment tables forced
// from the first start, the match, its start and length and every group's
// span must be the same.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "differential_data.h"
#include "reference_walk.h"

namespace bw {
namespace {

std::vector<std::string> differentialPatterns() {
  std::vector<std::string> patterns;
  std::set<std::string> seen;
  for (const test::DifferentialCase& c : test::differentialCases()) {
    if (seen.insert(c.pattern).second) patterns.push_back(c.pattern);
  }
  return patterns;
}

std::string randomSubject(std::mt19937& rng, size_t length) {
  static const char kAlphabet[] = "aaabbc\r\n";
  std::string s;
  for (size_t i = 0; i < length; ++i) s += kAlphabet[rng() % (sizeof kAlphabet - 1)];
  return s;
}

using test::compareWithReference;

TEST(RegexLinearSearch, AgreesWithTheWalkOnRandomPatterns) {
  const std::vector<std::string> patterns = differentialPatterns();
  ASSERT_GT(patterns.size(), 1000u);
  std::mt19937 rng(20261208);
  int failures = 0;
  for (size_t i = 0; i < patterns.size(); ++i) {
    std::vector<std::string> subjects;
    for (int k = 0; k < 3; ++k) subjects.push_back(randomSubject(rng, rng() % 14));
    if (i % 5 == 0) subjects.push_back(randomSubject(rng, 400 + rng() % 400));
    for (const std::string& subject : subjects) {
      for (bool forceTables : {false, true}) {
        const std::string difference = compareWithReference(patterns[i], subject, forceTables);
        if (!difference.empty() && ++failures <= 20) {
          ADD_FAILURE() << difference << "\n  pattern: " << patterns[i]
                        << "\n  subject length " << subject.size()
                        << (forceTables ? " (tables)" : " (walk)");
        }
      }
    }
  }
  EXPECT_EQ(failures, 0);
}

// Hostile pairs and patterns of every segment kind, on subjects long enough
// for the default budget to switch to the tables part-way.
TEST(RegexLinearSearch, AgreesWithTheWalkOnLongSubjects) {
  struct Case {
    const char* pattern;
    std::string subject;
  };
  // Long enough to pass the default budget, short enough for the walk.
  std::string letters(1000, 'a');
  std::string abab;
  for (int i = 0; i < 500; ++i) abab += "ab";
  std::string digits(1000, '7');
  std::string words;
  for (int i = 0; i < 200; ++i) words += "word ";
  const std::vector<Case> cases = {
      {"a*b", letters},
      {"a*b", letters + "b"},
      {"[a-z]+!", words},
      {"[a-z]+!", words + "x!"},
      {"(ab)+c", abab},
      {"(ab)+c", abab + "c"},
      {"a{2,}b", letters},
      {"^x|y$", words},
      {"(a|b)*c", abab},
      {"(a|b)*c", abab + "c"},
      {"\\d+\\.", digits},
      {"\\d+\\.", digits + "."},
      {"a?b?c", abab},
      {"(a*x|a)*b", letters.substr(0, 150)},  // the walk itself is cubic here
      {"(ab){2,3}c", abab + "c"},
      {"x(ab)*y|z(b+)", "x" + abab + "zbbb"},
      {"([a-z]+) ([a-z]+)!", words + "hello world!"},
      {"(a*)*b", letters},
      {"(ab)+$", abab},
      {"(ab)+(ab)", abab},
  };
  for (const Case& c : cases) {
    for (bool forceTables : {false, true}) {
      EXPECT_EQ(compareWithReference(c.pattern, c.subject, forceTables), "")
          << c.pattern << (forceTables ? " (tables)" : " (walk)");
    }
  }
}

}  // namespace
}  // namespace bw
