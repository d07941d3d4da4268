// QelString find, startsWith/endsWith, compare and replaceAll.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "foundation/qel_string.h"
#include "reference.h"

namespace {

using namespace bw;
using reference::str;

bool findIn(const QelString& s, const char* pattern, uint32_t start, uint32_t options, uint32_t& at,
            uint32_t maxLength = kToEnd) {
  return s.find(pattern, static_cast<uint32_t>(std::strlen(pattern)), start, maxLength, options, at);
}

TEST(StringFind, EdgeCases) {
  QelString s("abcb");
  uint32_t at = 99;
  EXPECT_TRUE(s.find('b', 0, kToEnd, NoOptions, at));
  EXPECT_EQ(at, 1u);
  EXPECT_TRUE(s.find('b', kToEnd, kToEnd, Backward, at));
  EXPECT_EQ(at, 3u);
  EXPECT_TRUE(s.find('b', 2, kToEnd, Backward, at));
  EXPECT_EQ(at, 1u);
}

TEST(StringFind, NothingFoundLeavesThePositionAlone) {
  QelString s("abcdef");
  uint32_t at = 77;
  EXPECT_FALSE(s.find("", 0, 0, kToEnd, NoOptions, at));
  EXPECT_FALSE(s.find("", 0, 0, kToEnd, Backward, at));
  EXPECT_FALSE(findIn(s, "abcdefg", 0, NoOptions, at));  // longer than the window
  EXPECT_FALSE(findIn(s, "cd", 0, NoOptions, at, 3));     // window "abc"
  EXPECT_FALSE(findIn(s, "a", 6, NoOptions, at));         // start at the end
  EXPECT_FALSE(findIn(s, "x", 0, NoOptions, at));
  EXPECT_FALSE(findIn(s, "a", 0, NoOptions, at, 0));
  EXPECT_FALSE(findIn(QelString(), "a", kToEnd, Backward, at));
  EXPECT_EQ(at, 77u);
}

TEST(StringFind, WindowsForwardAndBackward) {
  QelString s("abcdefabcdef");
  uint32_t at = 0;
  EXPECT_TRUE(findIn(s, "cd", 0, NoOptions, at, 4));
  EXPECT_EQ(at, 2u);
  EXPECT_TRUE(findIn(s, "cd", 3, NoOptions, at));
  EXPECT_EQ(at, 8u);
  EXPECT_FALSE(findIn(s, "cd", 3, NoOptions, at, 6));
  EXPECT_TRUE(findIn(s, "cd", 3, NoOptions, at, 7));
  EXPECT_EQ(at, 8u);
  // Backward: the match must end at or before start and lie in the window.
  EXPECT_TRUE(findIn(s, "cd", kToEnd, Backward, at));
  EXPECT_EQ(at, 8u);
  EXPECT_TRUE(findIn(s, "cd", 8, Backward, at));
  EXPECT_EQ(at, 2u);
  EXPECT_TRUE(findIn(s, "cd", 9, Backward, at));
  EXPECT_EQ(at, 8u);
  EXPECT_FALSE(findIn(s, "cd", 9, Backward, at, 1));
  EXPECT_TRUE(findIn(s, "cd", 9, Backward, at, 2));
  EXPECT_EQ(at, 8u);
  EXPECT_TRUE(findIn(s, "abc", 2, Backward, at));
  EXPECT_EQ(at, 0u);
  EXPECT_FALSE(findIn(s, "abc", 1, Backward, at));
}

TEST(StringFind, IgnoreCase) {
  QelString s("xxHeLLo hello");
  uint32_t at = 0;
  EXPECT_TRUE(findIn(s, "hello", 0, IgnoreCase, at));
  EXPECT_EQ(at, 2u);
  EXPECT_TRUE(findIn(s, "hello", 0, NoOptions, at));
  EXPECT_EQ(at, 8u);
  EXPECT_TRUE(findIn(s, "HELLO", kToEnd, IgnoreCase | Backward, at));
  EXPECT_EQ(at, 8u);
  EXPECT_TRUE(findIn(s, "HELLO", 11, IgnoreCase | Backward, at));
  EXPECT_EQ(at, 2u);
  EXPECT_TRUE(s.find('L', 0, kToEnd, NoOptions, at));
  EXPECT_EQ(at, 4u);
  EXPECT_TRUE(s.find('l', 0, kToEnd, IgnoreCase, at));
  EXPECT_EQ(at, 4u);
  EXPECT_TRUE(s.find('L', kToEnd, kToEnd, IgnoreCase | Backward, at));
  EXPECT_EQ(at, 11u);
  // Only ASCII letters have case.
  QelString latin("\xE9\xC9");
  EXPECT_TRUE(latin.find('\xC9', 0, kToEnd, IgnoreCase, at));
  EXPECT_EQ(at, 1u);
}

TEST(StringFind, LongPattern) {
  std::string pattern;
  for (int i = 0; i < 300; ++i) pattern += char('a' + (i * 7) % 26);
  std::string text = std::string(5000, 'q') + pattern + std::string(3000, 'z') + pattern + "tail";
  QelString s = reference::qel(text);
  QelString p = reference::qel(pattern);
  uint32_t at = 0;
  EXPECT_TRUE(s.find(p, 0, kToEnd, NoOptions, at));
  EXPECT_EQ(at, 5000u);
  EXPECT_TRUE(s.find(p, 5001, kToEnd, NoOptions, at));
  EXPECT_EQ(at, 8300u);
  EXPECT_TRUE(s.find(p, kToEnd, kToEnd, Backward, at));
  EXPECT_EQ(at, 8300u);
  EXPECT_TRUE(s.find(p, 8598, kToEnd, Backward, at));
  EXPECT_EQ(at, 5000u);
  QelString upper(p);
  upper.toUpper();
  EXPECT_TRUE(s.find(upper, 0, kToEnd, IgnoreCase, at));
  EXPECT_EQ(at, 5000u);
  EXPECT_TRUE(s.find(upper, kToEnd, kToEnd, IgnoreCase | Backward, at));
  EXPECT_EQ(at, 8300u);
  EXPECT_FALSE(s.find(upper, 0, kToEnd, NoOptions, at));
}

TEST(StringFind, MatchesTheReferenceOnRandomTexts) {
  uint32_t seed = 12345;
  auto next = [&]() { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7FFF; };
  const char alphabet[] = "abAB\xE9";
  for (int round = 0; round < 20000; ++round) {
    std::string text, pattern;
    int n = next() % 24, m = next() % 5;
    for (int i = 0; i < n; ++i) text += alphabet[next() % 5];
    for (int i = 0; i < m; ++i) pattern += alphabet[next() % 5];
    uint32_t start = next() % 30;
    if (next() % 5 == 0) start = kToEnd;
    uint32_t maxLength = next() % 3 == 0 ? next() % 26 : kToEnd;
    uint32_t options = next() % 4;  // IgnoreCase and Backward
    uint32_t want = 1000, got = 1000;
    bool expected = reference::find(text, pattern, start, maxLength, options, want);
    bool found = reference::qel(text).find(pattern.data(), uint32_t(pattern.size()), start, maxLength,
                                           options, got);
    ASSERT_EQ(found, expected) << text << " / " << pattern << " start " << start << " max " << maxLength
                               << " options " << options;
    ASSERT_EQ(got, want) << text << " / " << pattern;
  }
}

// The in-place forms read only the bytes they are given: each is run on a
// slice of a longer buffer and must agree with the string holding the slice.
TEST(TextsInPlace, AgreeWithTheStringOperationsOnSlices) {
  uint32_t seed = 777;
  auto next = [&]() { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7FFF; };
  const char alphabet[] = "aAbB\xE9";
  for (int round = 0; round < 20000; ++round) {
    std::string buffer, pattern;
    const int n = next() % 12, m = next() % 5;
    for (int i = 0; i < n + 8; ++i) buffer += alphabet[next() % 5];
    for (int i = 0; i < m; ++i) pattern += alphabet[next() % 5];
    const uint32_t from = next() % 4, length = static_cast<uint32_t>(n);
    const char* text = buffer.data() + from;
    const QelString slice(text, length);
    const uint32_t count = static_cast<uint32_t>(pattern.size());
    const uint32_t options = next() % 2;  // IgnoreCase or not
    uint32_t at = 0;
    ASSERT_EQ(QelString::textContains(text, length, pattern.data(), count, options),
              slice.find(pattern.data(), count, 0, kToEnd, options, at));
    ASSERT_EQ(QelString::textStartsWith(text, length, pattern.data(), count, options),
              slice.startsWith(pattern.data(), count, options));
    ASSERT_EQ(QelString::textEndsWith(text, length, pattern.data(), count, options),
              slice.endsWith(pattern.data(), count, options));
    ASSERT_EQ(QelString::compareTexts(text, length, pattern.data(), count, options),
              slice.compare(QelString(pattern.data(), count), options));
  }
}

TEST(StringStartsEnds, Cases) {
  QelString s("Hello");
  EXPECT_TRUE(s.startsWith("He", 2));
  EXPECT_FALSE(s.startsWith("he", 2));
  EXPECT_TRUE(s.startsWith("he", 2, IgnoreCase));
  EXPECT_FALSE(s.startsWith("", 0));
  EXPECT_FALSE(s.startsWith("Hello!", 6));
  EXPECT_TRUE(s.startsWith(QelString("Hello")));
  EXPECT_TRUE(s.startsWith('H'));
  EXPECT_TRUE(s.startsWith('h', IgnoreCase));
  EXPECT_TRUE(s.endsWith("llo", 3));
  EXPECT_TRUE(s.endsWith("LLO", 3, IgnoreCase));
  EXPECT_FALSE(s.endsWith("LLO", 3));
  EXPECT_TRUE(s.endsWith('o'));
  EXPECT_FALSE(s.endsWith(QelString()));
  EXPECT_FALSE(QelString().startsWith('a'));
}

TEST(StringCompare, EdgeCases) {
  EXPECT_EQ(QelString("abc").compare("abd"), CompareResult::Less);
  EXPECT_EQ(QelString("abc").compare("ab"), CompareResult::Greater);
  EXPECT_EQ(QelString("ab").compare("abc"), CompareResult::Less);
  EXPECT_EQ(QelString("ABC").compare("abc", IgnoreCase), CompareResult::Equal);
  EXPECT_EQ(QelString("ABC").compare("abc"), CompareResult::Less);
  EXPECT_EQ(QelString("\xE9").compare("a"), CompareResult::Less);  // signed bytes
  EXPECT_EQ(QelString("").compare(""), CompareResult::Equal);
  EXPECT_EQ(QelString("").compare("a"), CompareResult::Less);
  // Under IgnoreCase "[" to "`" order after every letter.
  EXPECT_EQ(QelString("_").compare("z", IgnoreCase), CompareResult::Greater);
  EXPECT_EQ(QelString("_").compare("z"), CompareResult::Less);
  QelString a("same");
  QelString b(a);
  EXPECT_EQ(a.compare(b), CompareResult::Equal);
  EXPECT_EQ(QelString("a\0b", 3).compare("a\0c", 3, NoOptions), CompareResult::Less);
  EXPECT_EQ(static_cast<uint32_t>(CompareResult::Less), 0x7373654Cu);
  EXPECT_EQ(static_cast<uint32_t>(CompareResult::Equal), 0x20757145u);
  EXPECT_EQ(static_cast<uint32_t>(CompareResult::Greater), 0x72747247u);
}

TEST(StringCompare, Equals) {
  EXPECT_TRUE(QelString("abc") == QelString("abc"));
  EXPECT_FALSE(QelString("abc") == QelString("ABC"));
  EXPECT_TRUE(QelString("abc") != QelString("ab"));
  EXPECT_TRUE(QelString() == QelString(""));
  EXPECT_FALSE(QelString("a\0b", 3) == QelString("a"));
}

TEST(StringReplaceAll, EdgeCases) {
  QelString s("aaa");
  EXPECT_EQ(s.replaceAll("a", QelString("b")), 3u);
  EXPECT_STREQ(s.cString(), "bbb");
  QelString t("aa");
  EXPECT_EQ(t.replaceAll("a", QelString("aa")), 2u);
  EXPECT_STREQ(t.cString(), "aaaa");
}

TEST(StringReplaceAll, Forms) {
  QelString s("one two one");
  EXPECT_EQ(s.replaceAll(QelString("one"), QelString("1")), 2u);
  EXPECT_STREQ(s.cString(), "1 two 1");
  EXPECT_EQ(s.replaceAll(' ', QelString()), 2u);
  EXPECT_STREQ(s.cString(), "1two1");
  EXPECT_EQ(s.replaceAll("TWO", QelString("-"), IgnoreCase), 1u);
  EXPECT_STREQ(s.cString(), "1-1");
  EXPECT_EQ(s.replaceAll("", QelString("x")), 0u);
  EXPECT_EQ(s.replaceAll("zz", QelString("x")), 0u);
  EXPECT_EQ(s.replaceAll("1-1-", QelString("x")), 0u);
  EXPECT_STREQ(s.cString(), "1-1");
}

TEST(StringReplaceAll, NoMatchKeepsSharing) {
  QelString s("abc");
  QelString copy(s);
  EXPECT_EQ(s.replaceAll("x", QelString("y")), 0u);
  EXPECT_TRUE(s.sharesWith(copy));
  EXPECT_EQ(s.replaceAll("b", QelString("y")), 1u);
  EXPECT_STREQ(copy.cString(), "abc");
}

TEST(StringReplaceAll, PatternAndReplacementFromTheStringItself) {
  QelString s("abcabc");
  EXPECT_EQ(s.replaceAll(s.cString(), 3, s), 2u);  // "abc" -> "abcabc"
  EXPECT_STREQ(s.cString(), "abcabcabcabc");
  QelString t("xyx");
  EXPECT_EQ(t.replaceAll(t, t), 1u);
  EXPECT_STREQ(t.cString(), "xyx");
}

TEST(StringReplaceAll, RescanEndsWhenTheReplacementHoldsThePattern) {
  QelString s("aa");
  EXPECT_EQ(s.replaceAll("a", QelString("aa"), Rescan), 2u);
  EXPECT_STREQ(s.cString(), "aaaa");
  QelString t("xAx");
  EXPECT_EQ(t.replaceAll("a", QelString("[a]"), IgnoreCase | Rescan), 1u);
  EXPECT_STREQ(t.cString(), "x[a]x");
}

TEST(StringReplaceAll, RescanReplacesMatchesFormedWithTheTextAfter) {
  // "ab" -> "xa": the inserted "a" and the original "b" after it form "ab".
  QelString s("abb");
  EXPECT_EQ(s.replaceAll("ab", QelString("xa"), Rescan), 2u);
  EXPECT_STREQ(s.cString(), "xxa");
  QelString t("abb");
  EXPECT_EQ(t.replaceAll("ab", QelString("xa")), 1u);
  EXPECT_STREQ(t.cString(), "xab");
  // The loop's use: an entity whose value completes a following entity.
  QelString u("[I[I]]");
  EXPECT_EQ(u.replaceAll("[i]", QelString("[i"), IgnoreCase | Rescan), 2u);
  EXPECT_STREQ(u.cString(), "[I[i");
}

TEST(StringReplaceAll, MatchesTheReferenceOnRandomTexts) {
  uint32_t seed = 987654321u;
  auto next = [&]() { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7FFF; };
  const char alphabet[] = "abA";
  for (int round = 0; round < 30000; ++round) {
    std::string text, pattern, replacement;
    int n = next() % 20, m = 1 + next() % 3, r = next() % 5;
    for (int i = 0; i < n; ++i) text += alphabet[next() % 3];
    for (int i = 0; i < m; ++i) pattern += alphabet[next() % 3];
    for (int i = 0; i < r; ++i) replacement += alphabet[next() % 3];
    uint32_t options = (next() % 2 ? uint32_t(IgnoreCase) : 0u) | (next() % 2 ? uint32_t(Rescan) : 0u);
    std::string expected = text;
    uint32_t expectedCount = reference::replaceAll(expected, pattern, replacement, options);
    QelString s = reference::qel(text);
    uint32_t count = s.replaceAll(pattern.data(), uint32_t(pattern.size()), reference::qel(replacement), options);
    ASSERT_EQ(count, expectedCount) << text << " / " << pattern << " -> " << replacement << " options " << options;
    ASSERT_EQ(str(s), expected) << text << " / " << pattern << " -> " << replacement << " options " << options;
  }
}

TEST(StringReplaceAll, ManyMatchesInAMegabyte) {
  std::string text;
  for (int i = 0; i < 100000; ++i) text += "ab" + std::string(8, '.');
  text.resize(1 << 20, '.');
  for (uint32_t options : {0u, uint32_t(Rescan), uint32_t(IgnoreCase | Rescan)}) {
    for (const char* replacement : {"X", "XYZWV", "ab!"}) {
      QelString s = reference::qel(text);
      EXPECT_EQ(s.replaceAll("ab", QelString(replacement), options), 100000u);
      // No replacement here forms a new match with the text after it, so
      // every option gives the plain left-to-right replacement.
      std::string expected;
      for (size_t i = 0; i < text.size();) {
        if (text.compare(i, 2, "ab") == 0) {
          expected += replacement;
          i += 2;
        } else {
          expected += text[i++];
        }
      }
      EXPECT_EQ(str(s), expected);
    }
  }
}

}  // namespace
