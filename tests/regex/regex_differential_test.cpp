// The matcher against Python's re: data/differential.txt holds random
// patterns of the dialect with random subjects over a small alphabet with CR
// and LF, and where Python finds the whole match of the equivalent
// atomic/possessive pattern (see gen_differential.py).  Each line must give
// the same answer here.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "regex/regex_program.h"

namespace bw {
namespace {

std::string unescape(const std::string& field) {
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '\\' || i + 1 == field.size()) {
      out += field[i];
      continue;
    }
    char c = field[++i];
    out += c == 't' ? '\t' : c == 'r' ? '\r' : c == 'n' ? '\n' : c;
  }
  return out;
}

TEST(RegexDifferential, AgreesWithPythonOnEveryCase) {
  std::ifstream in(std::string(BRINDLE_SOURCE_DIR) + "/tests/regex/data/differential.txt");
  ASSERT_TRUE(in) << "data file missing";
  std::string line;
  int cases = 0, failures = 0;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    size_t tab1 = line.find('\t');
    size_t tab2 = line.find('\t', tab1 + 1);
    ASSERT_NE(tab2, std::string::npos) << line;
    const std::string pattern = unescape(line.substr(0, tab1));
    const std::string subject = unescape(line.substr(tab1 + 1, tab2 - tab1 - 1));
    const std::string expected = line.substr(tab2 + 1);
    ++cases;

    RegexProgram program;
    ASSERT_EQ(program.compile(QelString(pattern.data(), static_cast<uint32_t>(pattern.size()))), 0)
        << line;
    std::string got = "-";
    if (program.search(QelString(subject.data(), static_cast<uint32_t>(subject.size())), 0)) {
      int32_t start = 0, length = 0;
      program.matchedRange(start, length);
      got = std::to_string(start) + " " + std::to_string(length);
    }
    if (got != expected && ++failures <= 20) {
      ADD_FAILURE() << "line: " << line << "\n  got: " << got;
    }
  }
  EXPECT_EQ(failures, 0);
  EXPECT_GT(cases, 10000);
}

}  // namespace
}  // namespace bw
