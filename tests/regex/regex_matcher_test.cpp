// The possessive matcher: where a search finds its match and what the groups
// record, including line-break anchors, possessive failures and zero-length
// repetitions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "regex/regex_program.h"

namespace bw {
namespace {

struct Span {
  int32_t start;
  int32_t length;
  bool operator==(const Span& o) const { return start == o.start && length == o.length; }
};

std::ostream& operator<<(std::ostream& out, const Span& s) {
  return out << "(" << s.start << "," << s.length << ")";
}

constexpr Span kNoMatch = {-1, -1};

struct MatchCase {
  const char* pattern;
  std::string subject;
  Span match;
  std::vector<Span> groups;
};

// Runs one search from position 0; the groups only after a match.
Span search(const std::string& pattern, const std::string& subject, std::vector<Span>* groups,
            uint32_t start = 0) {
  RegexProgram program;
  EXPECT_EQ(program.compile(QelString(pattern.data(), static_cast<uint32_t>(pattern.size()))), 0)
      << pattern;
  if (!program.search(QelString(subject.data(), static_cast<uint32_t>(subject.size())), start))
    return kNoMatch;
  Span whole{};
  EXPECT_TRUE(program.matchedRange(whole.start, whole.length));
  if (groups) {
    for (uint32_t i = 0; i < program.groupCount(); ++i) {
      Span g{};
      EXPECT_TRUE(program.groupRange(i, g.start, g.length));
      groups->push_back(g);
    }
  }
  return whole;
}

const MatchCase kCases[] = {
    // Leftmost start, possessive length.
    {"a+", "baaa", {1, 3}, {}},
    {"x*", "abc", {0, 0}, {}},
    {"abc", "xxabcabc", {2, 3}, {}},
    {"b+", "abbbcbb", {1, 3}, {}},
    {"[0-9]+", "tel 12-345", {4, 2}, {}},
    {"a{2,3}", "aaaa", {0, 3}, {}},
    {"a{3}", "aa", kNoMatch, {}},
    {"a{2,}", "aaaaa", {0, 5}, {}},
    {"a{,2}b", "aaab", {1, 3}, {}},
    {"a{0}", "aaa", {0, 3}, {}},  // upper bound 0 is no bound
    {"a?b", "ab", {0, 2}, {}},
    {"\\.", "a.b", {1, 1}, {}},
    {"[^a]", "a\n", {1, 1}, {}},
    {"[\x80-\xFF]+", "a\xC3\xA9" "b", {1, 2}, {}},
    {"A", "a", kNoMatch, {}},  // no case folding

    // Possessive failures: nothing is ever given back.
    {"a*a", "aaa", kNoMatch, {}},
    {"[a-z]+z", "abcz", kNoMatch, {}},
    {"a?a", "a", kNoMatch, {}},
    {"(a|ab)c", "abc", kNoMatch, {}},
    {"(ab)?ab", "ab", kNoMatch, {}},
    {"(a|b)*b", "ab", kNoMatch, {}},
    {".*x", "abx", kNoMatch, {}},
    {"(a|ab)c", "xac", {1, 2}, {{1, 1}}},

    // The wildcard and line breaks.
    {".", "\r", kNoMatch, {}},
    {".", "\n", kNoMatch, {}},
    {".", "\r\nx", {2, 1}, {}},
    {".+", "ab\ncd", {0, 2}, {}},

    // Anchors at the subject's ends and next to line breaks.
    {"^b", "a\nb", {2, 1}, {}},
    {"^b", "a\rb", {2, 1}, {}},
    {"^b", "ab", kNoMatch, {}},
    {"a$", "a\r\nb", {0, 1}, {}},
    {"a$", "ba", {1, 1}, {}},
    {"a$", "ab", kNoMatch, {}},
    {"^", "abc", {0, 0}, {}},
    {"$", "ab\n", {2, 0}, {}},
    {"$", "abc", kNoMatch, {}},  // no match begins at the end
    {"^$", "a\n\nb", {2, 0}, {}},
    {"^a|b$", "b", {0, 1}, {}},
    {"^a|b$", "xb", kNoMatch, {}},
    {"^a|b$", "xa\nb", {3, 1}, {}},
    {"a$|^b", "xa\nb", {1, 1}, {}},
    {"(^a)", "ba", kNoMatch, {}},
    {"(^a)", "b\na", {2, 1}, {{2, 1}}},
    {"(ab)$", "abab", {2, 2}, {{2, 2}}},
    {"(ab)+$", "xabab\n", {1, 4}, {{1, 4}}},
    {"$a", "x$a", {1, 2}, {}},
    {"a^b", "a^b", {0, 3}, {}},

    // Groups: one span over all repetitions; an empty group records (p, 0).
    {"(ab)+", "ababx", {0, 4}, {{0, 4}}},
    {"(a)?b", "b", {0, 1}, {{0, 0}}},
    {"([0-9]+)-([0-9]+)", "tel 12-345", {4, 6}, {{4, 2}, {7, 3}}},
    {"x(a|b)y|z", "xaz", {0, 3}, {{1, 1}}},
    {"x(a|b)y|z", "xbyq", {0, 3}, {{1, 1}}},
    {"(a)x", "ab ax", {3, 2}, {{3, 1}}},
    {"(a)(b)(c)(d)(e)(f)(g)(h)(i)", "abcdefghi", {0, 9},
     {{0, 1}, {1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}, {6, 1}, {7, 1}, {8, 1}}},

    // A repetition whose body matched nothing ends there, reaching its minimum.
    {"(a*)*", "b", {0, 0}, {{0, 0}}},
    {"(b?)+", "x", {0, 0}, {{0, 0}}},
    {"(a?){3}", "ab", {0, 1}, {{0, 1}}},
    {"(a?){3}x", "aax", {0, 3}, {{0, 2}}},
    {"(a*){2,}b", "aab", {0, 3}, {{0, 2}}},

    // Patterns that never match.
    {"", "abc", kNoMatch, {}},
    {"a|", "b", kNoMatch, {}},
    {"()", "abc", kNoMatch, {}},
    {"x*", "", kNoMatch, {}},
};

TEST(RegexMatcher, FindsTheMatchAndGroups) {
  for (const MatchCase& c : kCases) {
    std::vector<Span> groups;
    Span whole = search(c.pattern, c.subject, &groups);
    EXPECT_EQ(whole, c.match) << "pattern: " << c.pattern << " subject: " << c.subject;
    if (whole == kNoMatch) continue;
    EXPECT_EQ(groups, c.groups) << "pattern: " << c.pattern << " subject: " << c.subject;
  }
}

TEST(RegexMatcher, StartsAtTheGivenPosition) {
  EXPECT_EQ(search("a", "aaa", nullptr, 2), (Span{2, 1}));
  EXPECT_EQ(search("a", "aaa", nullptr, 3), kNoMatch);
  EXPECT_EQ(search("a*", "aaa", nullptr, 0xFFFFFFFFu), kNoMatch);
  // The anchor still sees the byte before the start.
  EXPECT_EQ(search("^a", "ba", nullptr, 1), kNoMatch);
}

TEST(RegexMatcher, GroupRangeBeyondTheGroupsIsFalseAndWritesNothing) {
  RegexProgram program;
  ASSERT_EQ(program.compile("([0-9]+)-([0-9]+)"), 0);
  ASSERT_TRUE(program.search("tel 12-345", 0));
  int32_t start = 77, length = 88;
  EXPECT_FALSE(program.groupRange(2, start, length));
  EXPECT_FALSE(program.groupRange(0xFFFFFFFFu, start, length));
  EXPECT_EQ(start, 77);
  EXPECT_EQ(length, 88);
  EXPECT_EQ(program.groupCount(), 2u);
}

TEST(RegexMatcher, LongSubjectsStayWithinTheirBytes) {
  // Runs that reach the very end must not read past it.
  std::string subject(100000, 'a');
  EXPECT_EQ(search("a+$", subject, nullptr), (Span{0, 100000}));
  EXPECT_EQ(search("a{255}", subject, nullptr), (Span{0, 255}));
  EXPECT_EQ(search("b", subject, nullptr), kNoMatch);
}

}  // namespace
}  // namespace bw
