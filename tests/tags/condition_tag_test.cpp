// qelIf and qelInlineIf as a page sees them, through the real module: every
// relationship under both orders and both case settings, the branches of a
// qelIf body, and the reports.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tags/control_tag_fixture.h"

namespace bw {
namespace {

using test::NamedValues;
using test::Result;

class ConditionTag : public ControlTagTest {
 protected:
  // Runs the condition both as qelInlineIf and as qelIf and checks that the
  // two agree; returns whether it held.
  bool holds(NamedValues params) {
    NamedValues inlineParams = params;
    inlineParams.push_back({"then", "T"});
    inlineParams.push_back({"else", "F"});
    const Result inlineRun = run("qelInlineIf", inlineParams);
    const Result blockRun = run("qelIf", params, "T<qelElse>F");
    EXPECT_EQ(inlineRun.result, 0u);
    EXPECT_TRUE(inlineRun.errors.empty());
    EXPECT_EQ(inlineRun.output, blockRun.output);
    EXPECT_TRUE(inlineRun.output == "T" || inlineRun.output == "F") << inlineRun.output;
    return inlineRun.output == "T";
  }
};

// Each row is tried under four settings; expected holds one letter per
// setting: alphabetical case-insensitive, alphabetical case-sensitive,
// numerical case-insensitive, numerical case-sensitive.
struct RelationCase {
  const char* lhs;
  const char* relationship;
  const char* rhs;  // null: not given
  const char* expected;
};

const std::vector<RelationCase> kRelationCases = {
    // equals / "="
    {"10", "equals", "10", "TTTT"},
    {"2.50", "equals", "2.5", "FFTT"},
    {"ABC", "equals", "abc", "TFTF"},  // not numbers: compared as texts
    {"", "equals", "0", "FFFF"},       // an empty side is no number
    {"-0", "=", "0", "FFTT"},
    // doesNotEqual / "<>"
    {"ABC", "<>", "abc", "FTFT"},
    {"2.50", "doesNotEqual", "2.5", "TTFF"},
    // lessThan / "<"
    {"10", "lessThan", "9", "TTFF"},
    {"a", "<", "B", "TFTF"},
    {"-5", "<", "-0.5", "FFTT"},
    // lessThanOrEqualTo / "<="
    {"9", "lessThanOrEqualTo", "10", "FFTT"},
    {"abc", "<=", "ABC", "TFTF"},
    // greaterThan / ">"
    {"10", "greaterThan", "9", "FFTT"},
    {"abc", ">", "9", "TTTT"},
    {"B", "greaterThan", "a", "TFTF"},
    {"1000000000000000000000000000000000000000", ">", "999999999999999999999999999999999999999",
     "FFTT"},
    // greaterThanOrEqualTo / ">="
    {"2.5", ">=", "2.50", "FFTT"},
    {"Zeta", ">=", "alpha", "TFTF"},
    // contains / doesNotContain: the order plays no part
    {"Hello World", "contains", "WORLD", "TFTF"},
    {"Hello", "contains", "", "FFFF"},
    {"Hello", "doesNotContain", "", "TTTT"},
    {"Hello", "doesNotContain", "LL", "FTFT"},
    // beginsWith / doesNotBeginWith
    {"Hello", "beginsWith", "he", "TFTF"},
    {"a", "beginsWith", "", "FFFF"},
    {"Hello", "doesNotBeginWith", "he", "FTFT"},
    {"x", "doesNotBeginWith", "", "TTTT"},
    {"he", "beginsWith", "hello", "FFFF"},
    // endsWith / doesNotEndWith
    {"Hello", "endsWith", "LO", "TFTF"},
    {"a", "endsWith", "", "FFFF"},
    {"Hello", "doesNotEndWith", "LO", "FTFT"},
    {"a", "doesNotEndWith", "", "TTTT"},
    // isEmpty / isNotEmpty read no rhs
    {"", "isEmpty", nullptr, "TTTT"},
    {"x", "isEmpty", nullptr, "FFFF"},
    {" ", "isNotEmpty", nullptr, "TTTT"},
    {"", "isNotEmpty", nullptr, "FFFF"},
    // Keywords ignore letter case; anything else is false.
    {"1", "EQUALS", "1", "TTTT"},
    {"a", "near", "a", "FFFF"},
    {"a", "==", "a", "FFFF"},
    // Both sides are decoded: \t and \ddd stand for their bytes.
    {"a\\tb", "equals", "a\tb", "TTTT"},
    {"\\065", "equals", "A", "TTTT"},
    {"a\\", "equals", "a\\", "TTTT"},  // a trailing backslash stays
    {"\\\\t", "beginsWith", "\\\\", "TTTT"},  // an escaped backslash, then a plain t
    // Sides longer than the first exchange buffer, read after the host asked
    // for more room, with and without escapes.
    {"a left side well past thirty-two bytes, ending in TAB\\t", "endsWith", "TAB\t", "TTTT"},
    {"a left side well past thirty-two bytes", "beginsWith", "A LEFT", "TFTF"},
    {"x", "doesNotContain", "a right side well past thirty-two bytes\\n", "TTTT"},
    {"12345678901234567890123456789012345678.5", "<", "12345678901234567890123456789012345678.50001", "TTTT"},
};

TEST_F(ConditionTag, EveryRelationshipUnderBothOrdersAndCaseSettings) {
  const char* orders[] = {"alphabetical", "numerical"};
  const char* caseSettings[] = {"false", "true"};
  for (const RelationCase& c : kRelationCases) {
    for (int o = 0; o < 2; ++o) {
      for (int s = 0; s < 2; ++s) {
        NamedValues params = {{"lhs", c.lhs}, {"relationship", c.relationship}};
        if (c.rhs != nullptr) params.push_back({"rhs", c.rhs});
        params.push_back({"order", orders[o]});
        params.push_back({"caseSensitive", caseSettings[s]});
        const bool expected = c.expected[o * 2 + s] == 'T';
        EXPECT_EQ(holds(params), expected)
            << c.lhs << " " << c.relationship << " " << (c.rhs ? c.rhs : "(none)") << " order "
            << orders[o] << " caseSensitive " << caseSettings[s];
      }
    }
  }
}

TEST_F(ConditionTag, DefaultsAreNumericalAndCaseInsensitive) {
  EXPECT_TRUE(holds({{"lhs", "10"}, {"relationship", "greaterThan"}, {"rhs", "9"}}));
  EXPECT_TRUE(holds({{"lhs", "ABC"}, {"relationship", "equals"}, {"rhs", "abc"}}));
}

TEST_F(ConditionTag, InvalidOrderIsReportedEncodedAndComparesNoValues) {
  struct Row {
    const char* relationship;
    bool expected;  // two numbers without value are equal
  };
  const Row rows[] = {{"equals", true}, {"<=", true}, {">=", true},
                      {"<", false},     {">", false}, {"<>", false}};
  for (const Row& row : rows) {
    const Result r = run("qelInlineIf", {{"lhs", "a"}, {"relationship", row.relationship},
                                         {"rhs", "b"}, {"order", "<b>bogus</b>"},
                                         {"then", "T"}, {"else", "F"}});
    EXPECT_EQ(r.result, MInv);
    EXPECT_EQ(r.output, row.expected ? "T" : "F") << row.relationship;
    ASSERT_EQ(r.errors.size(), 1u);
    EXPECT_EQ(r.errors[0].message,
              "The value &quot;&lt;b&gt;bogus&lt;/b&gt;&quot; is an invalid order.");
    EXPECT_EQ(r.errors[0].hint, "Please provide only valid orders.");
  }
  // The text relationships do not care about the order.
  const Result r = run("qelIf", {{"lhs", "abc"}, {"relationship", "contains"}, {"rhs", "b"},
                                 {"order", "random"}},
                       "yes<qelElse>no");
  EXPECT_EQ(r.result, MInv);
  EXPECT_EQ(r.output, "yes");
}

TEST_F(ConditionTag, MissingParametersAreReportedAndStop) {
  struct Row {
    NamedValues params;
    const char* missing;
  };
  const Row rows[] = {
      {{{"relationship", "equals"}, {"rhs", "1"}}, "lhs"},
      {{{"lhs", "1"}, {"rhs", "1"}}, "relationship"},
      {{{"lhs", "1"}, {"relationship", "equals"}}, "rhs"},
      {{{"lhs", "1"}, {"relationship", "near"}}, "rhs"},
  };
  for (const char* tag : {"qelIf", "qelInlineIf"}) {
    for (const Row& row : rows) {
      NamedValues params = row.params;
      params.push_back({"then", "T"});
      const Result r = run(tag, params, "T");
      EXPECT_EQ(r.result, MMRP) << tag << " " << row.missing;
      EXPECT_EQ(r.output, "");
      ASSERT_EQ(r.errors.size(), 1u);
      EXPECT_EQ(r.errors[0].message, std::string("An &lt;") + tag +
                                         "&gt; tag was found but it is missing its &quot;" +
                                         row.missing + "&quot; parameter.");
    }
  }
  // Without rhs, the emptiness tests report nothing.
  const Result r = run("qelIf", {{"lhs", ""}, {"relationship", "isEmpty"}}, "empty");
  EXPECT_EQ(r.result, 0u);
  EXPECT_TRUE(r.errors.empty());
  EXPECT_EQ(r.output, "empty");
}

TEST_F(ConditionTag, InlineBranchesAreUsedAsSupplied) {
  struct Row {
    const char* lhs;
    NamedValues branches;
    const char* expected;
  };
  const Row rows[] = {
      {"1", {{"then", " \\n keep <b> "}, {"else", "no"}}, " \\n keep <b> "},
      {"2", {{"then", "yes"}, {"else", "\\t"}}, "\\t"},
      {"1", {{"else", "no"}}, ""},
      {"2", {{"then", "yes"}}, ""},
  };
  for (const Row& row : rows) {
    NamedValues params = {{"lhs", row.lhs}, {"relationship", "equals"}, {"rhs", "1"}};
    params.insert(params.end(), row.branches.begin(), row.branches.end());
    const Result r = run("qelInlineIf", params);
    EXPECT_EQ(r.result, 0u);
    EXPECT_EQ(r.output, row.expected);
  }
}

// ---- qelIf bodies ----------------------------------------------------------

struct BranchCase {
  std::string body;
  std::string ifTrue;
  std::string ifFalse;
};

std::string nestedIf(int depth, const std::string& core) {
  std::string s;
  for (int i = 0; i < depth; ++i) s += "<qelIf lhs=\"1\" relationship=\"equals\" rhs=\"1\">";
  s += core;
  for (int i = 0; i < depth; ++i) s += "</qelIf>";
  return s;
}

TEST_F(ConditionTag, IfBodyBranches) {
  const std::string nested = "<qelIf lhs=\"1\" relationship=\"equals\" rhs=\"1\">x<qelElse>y</qelIf>";
  const std::string deep = nestedIf(10000, "in<qelElse>out");
  const std::vector<BranchCase> cases = {
      {"yes<qelElse>no", "yes", "no"},
      {" yes \r\n<qelElse>\n no ", "yes", "no"},
      {"<qelElse>no", "", "no"},
      {"yes<qelElse>", "yes", ""},
      {"only", "only", ""},
      {"a<QELELSE>b", "a", "b"},
      // Only the first top-level marker counts.
      {"a<qelElse>b<qelElse>c", "a", "b<qelElse>c"},
      // Markers inside nested blocks belong to them.
      {"A" + nested + "B<qelElse>C", "A" + nested + "B", "C"},
      {"<qelLoop item=\"1\"><qelElse></qelLoop>z", "<qelLoop item=\"1\"><qelElse></qelLoop>z", ""},
      {deep + "<qelElse>rest", deep, "rest"},
      // Not markers: other spellings, and a marker swallowed by a "<q" tag.
      {"a<qelElse >b", "a<qelElse >b", ""},
      {"<q>a<qelElse>b", "<q>a<qelElse>b", ""},
      // An unclosed nested tag does not hide the marker.
      {"<qelIf x>a<qelElse>b", "<qelIf x>a", "b"},
      // Ordinary tags are not paired here, so their content is no block.
      {"<b>a<qelElse>c</b>", "<b>a", "c</b>"},
  };
  for (const BranchCase& c : cases) {
    for (bool condition : {true, false}) {
      const Result r = run("qelIf", {{"lhs", condition ? "1" : "2"}, {"relationship", "equals"},
                                     {"rhs", "1"}},
                           c.body);
      EXPECT_EQ(r.result, 0u);
      EXPECT_EQ(r.output, condition ? c.ifTrue : c.ifFalse)
          << "body " << c.body.substr(0, 80) << " condition " << condition;
    }
  }
}

}  // namespace
}  // namespace bw
