// The evaluator linked directly: which texts tokenize, what they evaluate
// to, and that nesting depth and length cost no stack.
#include <gtest/gtest.h>

#include <string>

#include "brindlework/module.h"
#include "decimal/equation.h"

namespace bw {
namespace {

struct Evaluated {
  uint32_t parseCode = 0;
  uint32_t evaluateCode = 0;
  std::string value;
};

Evaluated run(const std::string& text, int32_t scale = 8) {
  Evaluated e;
  Equation equation(100, scale);
  e.parseCode = equation.parse(QelString(text.data(), static_cast<uint32_t>(text.size())));
  if (e.parseCode != 0) return e;
  BigDecimal result;
  e.evaluateCode = equation.evaluate(result);
  e.value = result.toText().cString();
  return e;
}

TEST(EquationTokenizer, RejectsMisplacedTokens) {
  const char* improper[] = {
      // an operator where an operand is required
      "*2", "2**3", "(*2)", "2+*3", "^2", "/", "%1", "\\1",
      // '(' where an operator is required
      "2(3)", "(1)(2)", "2 (3)",
      // ')' where an operand is required
      "()", "(2+)", "2+)",
      // trailing operator
      "2+", "2-", "2*", "(2)^",
      // unbalanced
      "(2", "((2)", "2)", "(2))", ")(",
      // letters are ignored, so '*' starts the equation
      "pi*2",
      // nothing but ignored characters: no token at all
      "abc", " \t", "$x",
  };
  for (const char* text : improper) {
    EXPECT_EQ(run(text).parseCode, MIFt) << text;
  }
}

TEST(EquationTokenizer, AcceptsSignsWhereOperandsAreExpected) {
  const char* accepted[] = {"-3", "+3", "--3", "2--3", "2*-3", "(-2)", "2^-1", "-(2)", "1-+-2"};
  for (const char* text : accepted) {
    EXPECT_EQ(run(text).parseCode, 0u) << text;
  }
}

TEST(EquationEvaluation, Values) {
  const struct {
    const char* text;
    int32_t scale;
    const char* value;
  } cases[] = {
      // precedence and associativity
      {"1+2*3", 8, "7"},
      {"(1+2)*3", 8, "9"},
      {"2^3^2", 8, "64"},
      {"-2^2", 8, "4"},
      {"2^-1", 8, "0.5"},
      {"2--3", 8, "5"},
      {"10-2-3", 8, "5"},
      {"100/10/5", 8, "2"},
      {"2*3%4", 8, "2"},
      {"7%4*3", 8, "9"},
      {"1+2^2*3", 8, "13"},
      {"(3 + 4.5) * 2 ^ 3 % 7", 8, "4"},
      // integer division and remainder
      {"7\\2", 8, "3"},
      {"-7\\2", 8, "-3"},
      {"7%3", 8, "1"},
      {"-7%3", 8, "-1"},
      {"7.5%2", 8, "1.5"},
      // rounding at the working scale
      {"1/3", 8, "0.33333333"},
      {"2/3", 8, "0.66666667"},
      {"10/4", 8, "2.5"},
      {"1/3", 2, "0.33"},
      {"7/2", 0, "4"},
      {"-7/2", 0, "-4"},
      {"1/3*3", 8, "0.99999999"},
      // the exponent is truncated to an integer
      {"4^0.5", 8, "1"},
      {"4^1.9", 8, "4"},
      {"2^(1+2)", 8, "8"},
      // division by zero and empty operands
      {"5/0", 8, "99999999999999999999999999999999999999999999999999"},
      {"0/0", 8, "0"},
      {"5%0", 8, "99999999999999999999999999999999999999999999999999"},
      // text oddities
      {"2pi", 8, "2"},
      {"1 000", 8, "1000"},
      // a number broken by ignored characters, read in place and then copied
      {"12x3 4.5 + 1", 8, "1235.5"},
      {"1 2*3 4", 8, "408"},
      // more tokens than the equation keeps inline
      {"1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1", 8, "30"},
      {"1.2.3+1", 8, "1"},
      {"(1)2", 8, "1"},
      {"(2)3", 8, "2"},
      {".", 8, "0"},
      {"((((7))))", 8, "7"},
      {"-(-(-(2)))", 8, "-2"},
      // dividends with more integer digits than the divisor keep every digit
      {"2000000001/2", 8, "1000000000.5"},
      {"1234567891/7", 8, "176366841.57142857"},
      {"123456789012345678901234567890123/3", 8, "41152263004115226300411522630041"},
      // integer room of 100 - scale
      {"10^91", 8, "10000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"},
      {"10^92", 8, ""},
      {"10^92-1", 8, "-1"},  // an empty operand counts as zero in subtraction
  };
  for (const auto& c : cases) {
    Evaluated e = run(c.text, c.scale);
    EXPECT_EQ(e.parseCode, 0u) << c.text;
    EXPECT_EQ(e.evaluateCode, 0u) << c.text;
    EXPECT_EQ(e.value, c.value) << c.text << " at scale " << c.scale;
  }
}

TEST(EquationEvaluation, UnarySignNotFollowedByANumberFailsAtReduction) {
  const char* failing[] = {"--3", "2---3", "(--3)", "1+(+-2)"};
  for (const char* text : failing) {
    Evaluated e = run(text);
    EXPECT_EQ(e.parseCode, 0u) << text;
    EXPECT_EQ(e.evaluateCode, MIFt) << text;
    EXPECT_EQ(e.value, "") << text;
  }
}

TEST(EquationEvaluation, ResultTakesThePrecisionOfItsNumbers) {
  Equation equation(100, 3);
  ASSERT_EQ(equation.parse(QelString("1/8")), 0u);
  BigDecimal result;
  ASSERT_EQ(equation.evaluate(result), 0u);
  EXPECT_EQ(result.precision(), 100);
  EXPECT_EQ(result.scale(), 3);
  EXPECT_STREQ(result.toText().cString(), "0.125");
}

TEST(EquationDepth, DeepNestingNeedsNoStack) {
  const int depth = 100000;
  std::string text(depth, '(');
  text += "1+2";
  text += std::string(depth, ')');
  EXPECT_EQ(run(text).value, "3");

  std::string signs;
  for (int i = 0; i < depth; ++i) signs += "-(";
  signs += "5";
  signs += std::string(depth, ')');
  EXPECT_EQ(run(signs).value, "5");  // an even number of signs

  std::string unbalanced(depth, '(');
  unbalanced += "1";
  unbalanced += std::string(depth - 1, ')');
  EXPECT_EQ(run(unbalanced).parseCode, MIFt);
}

TEST(EquationDepth, LongChainsAndManyGroups) {
  std::string sum = "0";
  std::string groups = "0";
  for (int i = 0; i < 50000; ++i) {
    sum += "+1";
    groups += "+(1)";
  }
  EXPECT_EQ(run(sum).value, "50000");
  EXPECT_EQ(run(groups).value, "50000");
}

}  // namespace
}  // namespace bw
