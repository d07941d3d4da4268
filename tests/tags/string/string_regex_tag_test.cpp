// The regular-expression mode of the string tags: the text it returns, the
// page variables it sets (names, values and order), the compile failure and
// the parameters it reads.
#include <string>
#include <vector>

#include "string_tag_host.h"

namespace bw::test {
namespace {

using StringRegex = StringTagTest;

using Variables = std::vector<std::pair<std::string, std::string>>;

// The page variables in the order the module set them.
Variables variablesSet(const Result& r) {
  Variables out;
  for (const HostCall& call : r.callsOf(MSPV)) out.push_back({call.text[0], call.text[1]});
  return out;
}

TEST_F(StringRegex, ReturnsTheMatchWithoutAVariable) {
  expectRows({
      {{{"mode", "regularExpression"}, {"regularExpression", "([0-9]+)-([0-9]+)"}},
       "tel 12-345", "12-345"},
      {{{"mode", "regularExpression"}, {"regularExpression", "[a-z]+"}}, "12 abc", "abc"},
      {{{"mode", "regularExpression"}, {"regularExpression", "x"}}, "abc", ""},
      {{{"mode", "regularExpression"}, {"regularExpression", "a"}}, "", ""},
      // Always case-sensitive, caseSensitive or not.
      {{{"mode", "regularExpression"}, {"regularExpression", "A"}}, "a", ""},
      {{{"mode", "REGULAREXPRESSION"}, {"regularExpression", "^b"}}, "a\nb", "b"},
      // beginningIndex is read but the search starts at the first byte.
      {{{"mode", "regularExpression"}, {"regularExpression", "a."}, {"beginningIndex", "3"}},
       "a1a2", "a1"},
      {{{"mode", "regularExpression"}, {"regularExpression", "a"}, {"quoteResult", "true"}},
       "bab", "\"a\""},
      // The pattern is not decoded: \t reaches the compiler, which reads it
      // as a tab itself.
      {{{"mode", "regularExpression"}, {"regularExpression", "a\\tb"}}, "a\tb", "a\tb"},
  });
}

TEST_F(StringRegex, StoresTheMatchAndGroupsInPageVariables) {
  Result r = runBody({{"mode", "regularExpression"},
                      {"regularExpression", "([0-9]+)-([0-9]+)"},
                      {"resultVariableName", "m"}},
                     "tel 12-345");
  EXPECT_EQ(r.result, 0u);
  EXPECT_EQ(r.output, "");
  EXPECT_EQ(variablesSet(r), (Variables{{"m", "12-345"},
                                        {"m_0_index", "5"},
                                        {"m_0_length", "6"},
                                        {"m_1", "12"},
                                        {"m_1_index", "5"},
                                        {"m_1_length", "2"},
                                        {"m_2", "345"},
                                        {"m_2_index", "8"},
                                        {"m_2_length", "3"}}));
}

TEST_F(StringRegex, VariablesForEmptyGroupsAndEdges) {
  Result r = runBody({{"mode", "regularExpression"},
                      {"regularExpression", "(x*)a"},
                      {"resultVariableName", "v"},
                      {"quoteResult", "true"}},
                     "ba");
  EXPECT_EQ(r.output, "\"\"");
  EXPECT_EQ(variablesSet(r), (Variables{{"v", "a"},
                                        {"v_0_index", "2"},
                                        {"v_0_length", "1"},
                                        {"v_1", ""},
                                        {"v_1_index", "2"},
                                        {"v_1_length", "0"}}));
  // Nine groups; the tenth variable suffix is two digits nowhere.
  r = runBody({{"mode", "regularExpression"},
               {"regularExpression", "(a)(b)(c)(d)(e)(f)(g)(h)(i)"},
               {"resultVariableName", "g"}},
              "xabcdefghi");
  ASSERT_EQ(variablesSet(r).size(), 30u);
  EXPECT_EQ(variablesSet(r)[27], (std::pair<std::string, std::string>{"g_9", "i"}));
  EXPECT_EQ(variablesSet(r)[28], (std::pair<std::string, std::string>{"g_9_index", "10"}));
  // No match: no variables and an empty text.
  r = runBody({{"mode", "regularExpression"}, {"regularExpression", "z"}, {"resultVariableName", "m"}},
              "abc");
  EXPECT_EQ(r.result, 0u);
  EXPECT_EQ(r.output, "");
  EXPECT_TRUE(variablesSet(r).empty());
  // An empty variable name means: return the match.
  r = runBody({{"mode", "regularExpression"}, {"regularExpression", "b"}, {"resultVariableName", ""}},
              "abc");
  EXPECT_EQ(r.output, "b");
  EXPECT_TRUE(variablesSet(r).empty());
}

// The pattern-length limit: at the limit the pattern compiles; one byte more
// is refused at once with its own message.
TEST_F(StringRegex, PatternsOverTheLengthLimitAreRefused) {
  const std::string atLimit(65536, 'a');
  Result r = runBody({{"mode", "regularExpression"}, {"regularExpression", atLimit}}, "xaay");
  EXPECT_EQ(r.result, 0u);
  EXPECT_TRUE(r.errors.empty());

  r = runBody({{"mode", "regularExpression"}, {"regularExpression", atLimit + "a"}}, "xaay");
  EXPECT_EQ(r.result, MOpF);
  EXPECT_EQ(r.output, "");
  ASSERT_EQ(r.errors.size(), 1u);
  EXPECT_EQ(r.errors[0].message, "The regular expression is longer than 65536 bytes.");
  EXPECT_EQ(r.errors[0].hint,
            "Shorten the regular expression; search long texts with a short pattern.");
}

TEST_F(StringRegex, RejectedPatternsFailWithTheCompileMessage) {
  const char* const patterns[] = {"a,b", "(a(b))", "a|b|c", "[ab", "a{}", "\\065",
                                  "(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)"};
  for (const char* pattern : patterns) {
    Result r = runBody({{"mode", "regularExpression"},
                        {"regularExpression", pattern},
                        {"resultVariableName", "m"}},
                       "a,b");
    EXPECT_EQ(r.result, MOpF) << pattern;
    EXPECT_EQ(r.output, "") << pattern;
    EXPECT_TRUE(variablesSet(r).empty()) << pattern;
    ASSERT_EQ(r.errors.size(), 1u) << pattern;
    EXPECT_EQ(r.errors[0].message, "The compilation of the regular expression failed.");
    EXPECT_EQ(r.errors[0].hint,
              "Carefully check the syntax of the regular expression for misplaced symbols.");
  }
}

// A visitor's long text and a pattern whose plain walk would be quadratic:
// the search switches to its tables, finds the one match, and gives back
// every block it took.
TEST_F(StringRegex, LongHostileSubjectsFindTheMatchAndReleaseEverything) {
  std::string abab;
  for (int i = 0; i < 100000; ++i) abab += "ab";
  Result r = runBody({{"mode", "regularExpression"},
                      {"regularExpression", "(ab)+c"},
                      {"resultVariableName", "h"}},
                     abab + "x" + "abc");
  EXPECT_EQ(r.result, 0u);
  EXPECT_EQ(variablesSet(r), (Variables{{"h", "abc"},
                                        {"h_0_index", "200002"},
                                        {"h_0_length", "3"},
                                        {"h_1", "ab"},
                                        {"h_1_index", "200002"},
                                        {"h_1_length", "2"}}));
  r = runBody({{"mode", "regularExpression"}, {"regularExpression", "(a|b)*x"}}, abab + "\nx");
  EXPECT_EQ(r.output, "x");
}

TEST_F(StringRegex, InlineFormSearchesTheJoinedString) {
  Result r = runInline({{"mode", "regularExpression"},
                        {"string", "ab"},
                        {"string", "cd"},
                        {"regularExpression", "bc"},
                        {"resultVariableName", "j"}});
  EXPECT_EQ(r.result, 0u);
  EXPECT_EQ(variablesSet(r), (Variables{{"j", "bc"}, {"j_0_index", "2"}, {"j_0_length", "2"}}));
}

}  // namespace
}  // namespace bw::test
