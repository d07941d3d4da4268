// DecimalSum, the running sum the evaluator keeps unpacked across a run of +
// and -: a run must end where the same terms added one at a time with
// BigDecimal::add and subtract end, even where the rules carry state from
// term to term (an overflow midway, a zero sum taking the next term whole
// with its precision, a term of wider scale rounded in at once).  qelMath
// bodies reach only the first of these (every number of an equation shares
// its precision and scale), so the others are checked here.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "decimal/decimal_sum.h"

namespace bw {
namespace {

struct Term {
  int32_t precision;
  int32_t scale;
  const char* text;  // nullptr: no value
  bool subtract;
};

BigDecimal number(const Term& t) {
  BigDecimal n(t.precision, t.scale);
  if (t.text != nullptr) n.fromText(t.text);
  return n;
}

// (text, precision, scale) of a number, for comparing two of them whole.
std::string shown(const BigDecimal& d) {
  return std::string(d.isEmpty() ? "(no value)" : d.toText().cString()) + "@" +
         std::to_string(d.precision()) + "," + std::to_string(d.scale());
}

TEST(DecimalSum, RulesThatCarryFromTermToTerm) {
  const struct {
    const char* name;
    std::vector<Term> terms;  // the first is the starting number
    const char* expected;
    BigDecimal::Status status;
  } cases[] = {
      {"an overflow midway, then the next term starts again",
       {{3, 0, "999", false}, {3, 0, "1", false}, {3, 0, "5", false}, {3, 0, "2", true}},
       "3@3,0", BigDecimal::ok},
      {"an overflow on the last term",
       {{3, 0, "5", false}, {3, 0, "999", false}},
       "(no value)@3,0", BigDecimal::overflow},
      {"a zero term and a term without value after an overflow change nothing",
       {{3, 0, "999", false}, {3, 0, "1", false}, {3, 0, "0", false}, {3, 0, nullptr, false}},
       "(no value)@3,0", BigDecimal::overflow},
      {"wider terms round in one at a time, not at the end",
       {{10, 0, "1", false}, {10, 1, "0.4", false}, {10, 1, "0.4", false}},
       "1@10,0", BigDecimal::ok},
      {"a wider term's rounding carries into an overflow",
       {{2, 0, "99", false}, {5, 2, "0.5", false}, {2, 0, "7", false}},
       "7@2,0", BigDecimal::ok},
      {"a sum that cancels to zero takes the next term whole, with its precision",
       {{10, 2, "1.25", false}, {10, 2, "1.25", true}, {60, 20, "0.000001", true}},
       "-0.000001@60,20", BigDecimal::ok},
      {"the parser's kept digit stays exact through the run",
       {{100, 2, "1.005", false}, {100, 2, "2.005", false}, {100, 2, "0.01", true}},
       "3@100,2", BigDecimal::ok},
      {"signs change as the run crosses zero",
       {{38, 8, "-5", false}, {38, 8, "3", false}, {38, 8, "4", false}, {38, 8, "2.5", true},
        {38, 8, "-0.5", true}},
       "0@38,8", BigDecimal::ok},
  };
  for (const auto& c : cases) {
    BigDecimal first = number(c.terms[0]);
    DecimalSum sum(first);
    for (size_t i = 1; i < c.terms.size(); ++i) sum.add(number(c.terms[i]), c.terms[i].subtract);
    BigDecimal result;
    EXPECT_EQ(sum.store(result), c.status) << c.name;
    EXPECT_EQ(shown(result), c.expected) << c.name;
  }
}

// Random runs at random precisions and scales, long and short terms, zeros,
// no values, both signs; the run must match the one-at-a-time adds.
TEST(DecimalSum, RandomRunsEndAsOneAtATimeAdds) {
  std::mt19937 random(20261209);
  auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
  auto digits = [&](int count) {
    std::string s;
    for (int i = 0; i < count; ++i) s.push_back(static_cast<char>('0' + pick(i == 0 ? 1 : 0, 9)));
    return s;
  };
  const int32_t precisions[] = {1, 3, 10, 38, 100};
  for (int run = 0; run < 3000; ++run) {
    const int32_t precision = precisions[pick(0, 4)];
    const int32_t scale = pick(0, precision);
    const int count = pick(1, 10);
    std::vector<BigDecimal> terms;
    std::vector<bool> subtracts;
    std::string written;
    for (int t = 0; t < count; ++t) {
      // Mostly the run's own precision and scale, sometimes another.
      const bool own = pick(0, 3) != 0;
      const int32_t p = own ? precision : precisions[pick(0, 4)];
      const int32_t s = own ? scale : pick(0, p);
      std::string text = pick(0, 1) ? "-" : "";
      const int shape = pick(0, 9);
      if (shape == 0) {
        text = "0";
      } else {
        const int whole = shape < 4 ? p - s : pick(0, p - s);
        text += whole > 0 ? digits(whole) : "0";
        if (s > 0) text += "." + digits(pick(0, s + 1));
      }
      BigDecimal term(p, s);
      if (shape != 1) term.fromText(text.c_str());  // shape 1: no value
      terms.push_back(term);
      subtracts.push_back(pick(0, 1) != 0);
      written += (subtracts.back() ? " - " : " + ") + shown(term);
    }
    BigDecimal oneAtATime = terms[0];
    DecimalSum sum(terms[0]);
    for (size_t t = 1; t < terms.size(); ++t) {
      if (subtracts[t]) {
        oneAtATime.subtract(terms[t]);
      } else {
        oneAtATime.add(terms[t]);
      }
      sum.add(terms[t], subtracts[t]);
    }
    BigDecimal result;
    sum.store(result);
    ASSERT_EQ(shown(result), shown(oneAtATime)) << written;
  }
}

}  // namespace
}  // namespace bw
