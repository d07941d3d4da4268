// qelMath through the real module, as a host sees it: results, precisions,
// messages and result codes, the differential cases from Python's decimal
// module, and bodies that are deep or long.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "support/test_host.h"

namespace bw {
namespace {

using test::NamedValues;
using test::Result;
using test::TestHost;

const std::string kFiftyNines(50, '9');
const std::string kTenTo91 = "1" + std::string(91, '0');
const char* const kImproper = "The equation was improperly formatted.";
const char* const kSolving = "An unexpected error occurred while solving the equation.";
const char* const kSyntaxHint = "Please check the syntax of your equation.";

class MathTag : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(host.init(), 0u); }

  Result math(const std::string& body, const NamedValues& params = {}) {
    Result r = host.runTag("qelMath", params, body);
    EXPECT_EQ(r.blocksLeft, 0) << body;
    return r;
  }

  TestHost host;
};

TEST_F(MathTag, Results) {
  const struct {
    const char* body;
    NamedValues params;
    const char* output;
  } cases[] = {
      // the working precision rounds every operation
      {"1/3", {}, "0.33333333"},
      {"1/3", {{"workPrecision", "2"}}, "0.33"},
      {"1/3", {{"workPrecision", "2"}, {"displayPrecision", "4"}}, "0.3300"},
      {"2/3", {{"workPrecision", "8"}, {"resultPrecision", "2"}}, "0.67"},
      {"7/2", {{"workPrecision", "0"}}, "4"},
      {"-7/2", {{"workPrecision", "0"}}, "-4"},
      {"1/3*3", {}, "0.99999999"},
      {"1/3*3", {{"resultPrecision", "2"}}, "1"},
      // the display precision
      {"10/4", {}, "2.5"},
      {"10/4", {{"displayPrecision", "0"}}, "3"},
      {"10/4", {{"displayPrecision", "3"}}, "2.500"},
      {"-10/4", {{"displayPrecision", "0"}}, "-3"},
      {"0", {{"displayPrecision", "2"}}, "0.00"},
      {"1/3", {{"displayPrecision", "25"}}, "0.3333333300000000000000000"},
      {"2/3", {{"workPrecision", "25"}}, "0.6666666666666666666666667"},
      {"2/3", {{"workPrecision", "25"}, {"resultPrecision", "0"}}, "1"},
      // a single number keeps the parser's rounding digit until the end
      {"0.123456785", {}, "0.12345679"},
      {"0.123456785", {{"resultPrecision", "25"}}, "0.12345679"},
      {"0.123456784", {}, "0.12345678"},
      // division by zero and overflow print as documented
      {"5/0", {}, kFiftyNines.c_str()},
      {"0/0", {}, "0"},
      {"10^92", {}, ""},
      {"10^92", {{"displayPrecision", "0"}}, ""},
      {"10^92", {{"displayPrecision", "3"}}, "0.000"},
      {"10^91", {}, kTenTo91.c_str()},
      // dividends with more integer digits than the divisor keep every digit
      {"2000000001/2", {}, "1000000000.5"},
      {"1234567891/7", {}, "176366841.57142857"},
      {"98765432109876543210/3", {}, "32921810703292181070"},
      {"98765432109876543211/3", {}, "32921810703292181070.33333333"},
      {"123456789012345678901/7", {{"workPrecision", "25"}},
       "17636684144620811271.5714285714285714285714286"},
      // surrounding white space is trimmed
      {" \r\n 1+1 \t\n", {}, "2"},
      // parameters that are not numbers read as what the integer parser saw
      {"1/3", {{"workPrecision", "abc"}}, "0"},
      {"1/3", {{"workPrecision", "3x"}}, "0.333"},
      {"1/3", {{"workPrecision", " 4 "}}, "0.3333"},
      {"1/3", {{"WORKPRECISION", "1"}}, "0.3"},
  };
  for (const auto& c : cases) {
    Result r = math(c.body, c.params);
    EXPECT_EQ(r.result, 0u) << c.body;
    EXPECT_EQ(r.output, c.output) << c.body;
    EXPECT_TRUE(r.errors.empty()) << c.body;
  }
}

TEST_F(MathTag, PrecisionParametersOutOfRange) {
  const struct {
    NamedValues params;
    const char* named;  // the parameter the report names, or null when accepted
  } cases[] = {
      {{{"workPrecision", "26"}}, "workPrecision"},
      {{{"workPrecision", "-1"}}, "workPrecision"},
      {{{"workPrecision", "25"}}, nullptr},
      {{{"workPrecision", "0"}}, nullptr},
      {{{"resultPrecision", "-1"}}, "resultPrecision"},
      {{{"resultPrecision", "26"}}, "resultPrecision"},
      {{{"resultPrecision", "25"}}, nullptr},
      {{{"displayPrecision", "-1"}}, nullptr},
      {{{"displayPrecision", "-2"}}, "displayPrecision"},
      {{{"displayPrecision", "26"}}, "displayPrecision"},
      // resultPrecision defaults to workPrecision, so it is in range too
      {{{"workPrecision", "30"}, {"resultPrecision", "2"}}, "workPrecision"},
      // checked in order: the first one out of range is named
      {{{"displayPrecision", "99"}, {"resultPrecision", "99"}}, "resultPrecision"},
      {{{"displayPrecision", "99"}, {"workPrecision", "99"}, {"resultPrecision", "99"}},
       "workPrecision"},
  };
  for (const auto& c : cases) {
    Result r = math("1+1", c.params);
    if (c.named == nullptr) {
      EXPECT_EQ(r.result, 0u) << c.params[0].name << "=" << c.params[0].value;
      EXPECT_TRUE(r.errors.empty());
      continue;
    }
    const std::string name = c.named;
    EXPECT_EQ(r.result, MIPV) << name;
    ASSERT_EQ(r.errors.size(), 1u) << name;
    EXPECT_EQ(r.errors[0].message,
              "The &quot;" + name + "&quot; parameter must be a number between 0 and 25.");
    EXPECT_EQ(r.errors[0].hint,
              "Make sure that the &quot;" + name + "&quot; parameter is between 0 and 25.");
    EXPECT_EQ(r.output, "");
  }
}

TEST_F(MathTag, MalformedEquations) {
  const struct {
    const char* body;
    uint32_t code;
    const char* message;
  } cases[] = {
      {"2+", MIFt, kImproper},
      {"(2", MIFt, kImproper},
      {"2)", MIFt, kImproper},
      {"2(3)", MIFt, kImproper},
      {"()", MIFt, kImproper},
      {"pi*2", MIFt, kImproper},
      {"abc", MIFt, kImproper},  // nothing but ignored characters
      {"--3", MIPV, kSolving},
      {"2*(--3)", MIPV, kSolving},
  };
  for (const auto& c : cases) {
    Result r = math(c.body);
    EXPECT_EQ(r.result, c.code) << c.body;
    ASSERT_EQ(r.errors.size(), 1u) << c.body;
    EXPECT_EQ(r.errors[0].message, c.message) << c.body;
    EXPECT_EQ(r.errors[0].hint, kSyntaxHint) << c.body;
    EXPECT_EQ(r.output, "") << c.body;
  }
}

TEST_F(MathTag, EmptyBodyGivesEmptyOutput) {
  for (const char* body : {"", "  \r\n ", "\t"}) {
    Result r = math(body);
    EXPECT_EQ(r.result, 0u);
    EXPECT_EQ(r.output, "");
    EXPECT_TRUE(r.errors.empty());
  }
  Result noBody = host.runTag("qelMath", {}, std::nullopt);
  EXPECT_EQ(noBody.result, 0u);
  EXPECT_EQ(noBody.output, "");
  EXPECT_EQ(noBody.blocksLeft, 0);
}

// The body is read in place from the exchange's first buffer of 63 bytes, or
// from a block after the host asks for more room; the blanks around it are
// trimmed either way.
TEST_F(MathTag, BodiesAroundTheFirstBufferSize) {
  for (size_t length : {1u, 61u, 62u, 63u, 64u, 65u, 200u}) {
    std::string body = "\t 2";
    int terms = 1;
    while (body.size() + 3 <= length) {
      body += "+ 2";
      ++terms;
    }
    body.resize(length < body.size() ? body.size() : length, ' ');
    Result r = math(body);
    EXPECT_EQ(r.result, 0u) << length;
    EXPECT_EQ(r.output, std::to_string(2 * terms)) << length;
  }
}

TEST_F(MathTag, DeepParenthesesEvaluate) {
  const int depth = 100000;
  std::string body(depth, '(');
  body += "2000000001/2";
  body += std::string(depth, ')');
  Result r = math(body);
  EXPECT_EQ(r.result, 0u);
  EXPECT_EQ(r.output, "1000000000.5");

  std::string open(depth, '(');
  Result unbalanced = math(open + "1");
  EXPECT_EQ(unbalanced.result, MIFt);
}

// Bodies with their results from Python's decimal module, generated at test
// time by tests/decimal/differential.py, which names the file.
TEST_F(MathTag, DifferentialBodies) {
  const char* path = std::getenv("BRINDLE_MATH_BODY_FILE");
  if (path == nullptr) GTEST_SKIP() << "run by tests/decimal/differential.py";
  std::ifstream in(path);
  ASSERT_TRUE(in) << path;
  std::string line;
  int cases = 0;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    const size_t tab1 = line.find('\t');
    const size_t tab2 = line.find('\t', tab1 + 1);
    ASSERT_NE(tab2, std::string::npos) << line;
    const std::string work = line.substr(0, tab1);
    const std::string body = line.substr(tab1 + 1, tab2 - tab1 - 1);
    const std::string expected = line.substr(tab2 + 1);
    Result r = math(body, {{"workPrecision", work}});
    EXPECT_EQ(r.result, 0u) << body;
    EXPECT_EQ(r.output, expected) << "workPrecision " << work << ": " << body;
    ++cases;
  }
  EXPECT_GE(cases, 300);
}

}  // namespace
}  // namespace bw
