// The pattern compiler: which patterns are accepted, the trees they build and
// the shorthand rows.  Trees are written in the one-line form of tree_text.h.
#include <gtest/gtest.h>

#include <string>

#include "regex/tree_text.h"

namespace bw {
namespace {

struct TreeCase {
  const char* pattern;
  const char* tree;
};

std::string compiled(const std::string& pattern, int32_t* result = nullptr) {
  RegexProgram program;
  int32_t r = program.compile(QelString(pattern.data(), static_cast<uint32_t>(pattern.size())));
  if (result) *result = r;
  return r == 0 ? test::treeText(program) : "<rejected>";
}

const TreeCase kTrees[] = {
    // Literals, wildcard and escapes.
    {"abc", "{a b c}"},
    {"a.b", "{a <any> b}"},
    {"a[,]b", "{a , b}"},
    {"\\*", "{*}"},
    {"\\.+", "{.+}"},
    {"\\(", "{(}"},
    {"\\[", "{\\x5B}"},
    {"\\\\", "{\\x5C}"},
    {"a\\$", "{a $}"},
    {"a\\\\$", "{a \\x5C}$"},
    {"$a", "{$ a}"},
    {"a^b", "{a ^ b}"},
    {"a-b", "{a \\x2D b}"},
    {"", ""},

    // Bracket expressions.
    {"[]a]", "{[\\x5Da]}"},
    {"[a-]", "{[\\x2Da]}"},
    {"[-a]", "{[\\x2Da]}"},
    {"[z-a]", "{z}"},
    {"[a-c-e]", "{[a-e]}"},
    {"[^a-c]", "{[^a-c]}"},
    {"[^]", "{[^]}"},
    {"[^-]", "{[^\\x2D]}"},
    {"[\\]", "{\\x5C}"},
    {"[(]", "{(}"},
    {"[ab]*c", "{[ab]* c}"},
    {"[ab]{2,3}", "{[ab]{2,3}}"},
    {"[a]$", "{a}$"},
    {"[\x80-\xFF]", "{[\\x80-\\xFF]}"},

    // Quantifier bounds.  An upper bound of 0 means no upper bound.
    {"a*", "{a*}"},
    {"a+", "{a+}"},
    {"a?", "{a?}"},
    {"a{2,3}", "{a{2,3}}"},
    {"a{3}", "{a{3,3}}"},
    {"a{,2}", "{a{0,2}}"},
    {"a{2,}", "{a{2,0}}"},
    {"a{,}", "{a{0,0}}"},
    {"a{0}", "{a{0,0}}"},
    {"a{300}", "{a{255,255}}"},
    {"a{2,999}", "{a{2,255}}"},
    {"a{2,0}", "{a{2,0}}"},
    {"ab{2}c", "{a b{2,2} c}"},

    // Groups and alternation.
    {"(a)(b)", "({a})#1 ; ({b})#2"},
    {"x(a|b)y|z", "{x} ; ({{a}|{b}})#1 ; {{y}|{z}}"},
    {"(a|)", "({{a}|<never>})#1"},
    {"a|", "{{a}|<never>}"},
    {"()", "(<never>)#1"},
    {"(ab)*", "({a b})#1*"},
    {"(ab){2}", "({a b})#1{2,2}"},
    {"(ab)+$", "({a b})#1+ ; <e>$"},
    {"(ab)$", "({a b})#1$"},
    {"^(ab)", "^({a b})#1"},
    {"a^(b)", "{a} ; ^({b})#1"},
    {"a\\^(b)", "{a ^} ; ({b})#1"},
    {"(a)^b", "({a})#1 ; ^{b}"},
    {"(^a$)", "(^{a}$)#1"},
    {"([)]x)", "({) x})#1"},
    {"(a)(b)(c)(d)(e)(f)(g)(h)(i)", "({a})#1 ; ({b})#2 ; ({c})#3 ; ({d})#4 ; ({e})#5 ; ({f})#6 ; "
                                    "({g})#7 ; ({h})#8 ; ({i})#9"},

    // Anchors.
    {"^a|b$", "^{{a}|{b}}$"},
    {"a$|^b", "{{a}$|^{b}}"},
    {"^", "^<e>"},
    {"$", "<e>$"},
    {"^$", "^<e>$"},
    {"^^", "^{^}"},

    // What follows a closing bracket or parenthesis.
    {"[a]{2}$", "{a{2,2}}$"},
    {"(a){2}$", "({a})#1{2,2} ; <e>$"},
    {"x(a|b)y(c)*(d)", "{x} ; ({{a}|{b}})#1 ; {y} ; ({c})#2* ; ({d})#3"},
};

TEST(RegexCompiler, BuildsTheExpectedTrees) {
  for (const TreeCase& c : kTrees) {
    EXPECT_EQ(compiled(c.pattern), c.tree) << "pattern: " << c.pattern;
  }
}

const char* const kRejected[] = {
    // Stray and misplaced bytes.
    "a,b", ")", "a)", "a]", "a}", "{", "a{", "*a", "a**", "a+*", "a?+", "+", "?",
    // Escapes outside the list, and a backslash at the end.
    "\\q", "a\\", "(a\\)", "\\|",
    // Groups: nesting, unclosed, unclosed counts after them.
    "(a(b))", "(ab", "(a){2", "(a){", "((a)",
    // Bracket expressions: unclosed, and count without }.
    "[]", "[ab", "[a]{2", "[[:alpha:]]",
    // Alternation: more than two alternatives.
    "a|b|c", "(a|b|c)", "a||b",
    // Malformed counts.
    "a{}", "a{1, 2}", "a{ 1}", "a{-1}", "a{+1}", "a{1,2,3}", "a{x}", "a{1;2}",
    // Bounds the wrong way round.
    "a{5,2}", "[ab]{3,1}", "(a){2,1}",
    // A | inside a bracket expression cuts it in two.
    "[a|b]", "x|[a|b]", "[]|a]", "([a|b])",
    // A tenth group does not fit the capture table.
    "(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)",
    // The bytes the marking pass reserves.
    "a\x01" "b", "\x02", "[\x01]",
    // A shorthand after an escaped backslash still expands.
    "\\\\d",
};

TEST(RegexCompiler, RejectsMalformedPatterns) {
  for (const char* pattern : kRejected) {
    int32_t result = 0;
    EXPECT_EQ(compiled(pattern, &result), "<rejected>") << "pattern: " << pattern;
    EXPECT_NE(result, 0) << "pattern: " << pattern;
  }
}

const TreeCase kShorthands[] = {
    {"[:alpha:]", "{[A-Za-z]}"},
    {"[:alnum:]", "{[0-9A-Za-z]}"},
    {"a[:blank:]b", "{a b}"},
    {"a[:cntrl:]b", "{a b}"},
    {"[:digit:]+", "{[0-9]+}"},
    {"a[:graph:]b", "{a b}"},
    {"[:lower:]", "{[a-z]}"},
    {"a[:print:]b", "{a b}"},
    {"a[:punct:]b", "{a b}"},
    {"a[:space:]b", "{a b}"},
    {"[:upper:]", "{[A-Z]}"},
    {"a[:xdigit:]b", "{a b}"},
    {"\\c", "{[A-Za-z]}"},
    {"\\C", "{[^A-Za-z]}"},
    {"\\d", "{[0-9]}"},
    {"\\D", "{[^0-9]}"},
    {"\\s", "{[\\x09\\x0B\\x0C\\x20]}"},
    {"\\S", "{[^\\x09\\x0B\\x0C\\x20]}"},
    {"\\w", "{[0-9A-Z_a-z]}"},
    {"\\W", "{[^0-9A-Z_a-z]}"},
    {"\\f", "{\\x0C}"},
    {"\\n", "{\\x0A}"},
    {"\\r", "{\\x0D}"},
    {"\\t", "{\\x09}"},
    {"\\v", "{\\x0B}"},
    // Shorthands inside brackets expand too; rows are case-sensitive.
    {"[\\n\\r]", "{[\\x0A\\x0D]}"},
    {"\\d{2}-\\d", "{[0-9]{2,2} \\x2D [0-9]}"},
    {"[:ALPHA:]", "{[:AHLP]}"},
};

TEST(RegexCompiler, RewritesShorthands) {
  for (const TreeCase& c : kShorthands) {
    EXPECT_EQ(compiled(c.pattern), c.tree) << "pattern: " << c.pattern;
  }
}

TEST(RegexCompiler, LeavesTheCallersPatternAlone) {
  QelString pattern("(\\d+)[:alpha:]");
  QelString copy = pattern;
  RegexProgram program;
  ASSERT_EQ(program.compile(pattern), 0);
  EXPECT_EQ(std::string(pattern.data(), pattern.length()), "(\\d+)[:alpha:]");
  EXPECT_TRUE(pattern == copy);
  EXPECT_EQ(program.groupCount(), 1u);
}

}  // namespace
}  // namespace bw
