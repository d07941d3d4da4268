// The matcher against Python's re: data/differential.txt holds random
// patterns of the dialect with random subjects over a small alphabet with CR
// and LF, and where Python finds the whole match of the equivalent
// atomic/possessive pattern (see gen_differential.py).  Each line must give
// the same answer here.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "differential_data.h"
#include "regex/regex_program.h"

namespace bw {
namespace {

TEST(RegexDifferential, AgreesWithPythonOnEveryCase) {
  const std::vector<test::DifferentialCase> cases = test::differentialCases();
  int failures = 0;
  for (const test::DifferentialCase& c : cases) {
    const std::string& pattern = c.pattern;
    const std::string& subject = c.subject;
    const std::string line = pattern + " | " + subject;
    RegexProgram program;
    ASSERT_EQ(program.compile(QelString(pattern.data(), static_cast<uint32_t>(pattern.size()))), 0)
        << line;
    std::string got = "-";
    if (program.search(QelString(subject.data(), static_cast<uint32_t>(subject.size())), 0)) {
      int32_t start = 0, length = 0;
      program.matchedRange(start, length);
      got = std::to_string(start) + " " + std::to_string(length);
    }
    if (got != c.expected && ++failures <= 20) {
      ADD_FAILURE() << "case: " << line << "\n  got: " << got << ", Python: " << c.expected;
    }
  }
  EXPECT_EQ(failures, 0);
  EXPECT_GT(cases.size(), 10000u);
}

}  // namespace
}  // namespace bw
