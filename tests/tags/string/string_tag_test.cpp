// qelString and qelInlineString in every mode but the regular expression:
// where the text comes from, decoding of parameters, positions at and past
// the ends, negative and non-numeric numbers, required parameters and the
// result limit.
#include <string>
#include <vector>

#include "string_tag_host.h"

namespace bw::test {
namespace {

using StringModes = StringTagTest;

TEST_F(StringModes, TextSourcesAndModeSelection) {
  Result r = runInline({{"string", "ab"}, {"string", "cd"}});
  EXPECT_EQ(r.output, "abcd");
  r = runInline({{"string", "ab"}, {"mode", "toUpper"}, {"string", ""}, {"string", "cd"}});
  EXPECT_EQ(r.output, "ABCD");
  r = runBody({}, "");
  EXPECT_EQ(r.result, 0u);
  EXPECT_EQ(r.output, "");
  // A body the host cannot supply reads as the empty text.
  r = host.runTag("qelString", {{"mode", "getLength"}}, std::nullopt);
  EXPECT_EQ(r.output, "0");
  expectRows({
      {{{"mode", "TOUPPER"}}, "abc", "ABC"},
      {{{"mode", "toupper"}}, "abc", "ABC"},
      {{{"mode", "bogus"}}, "a\\tb", "a\\tb"},
      {{{"mode", "noOperation"}}, "x", "x"},
      {{{"mode", ""}}, "x", "x"},
      {{}, "<b> & \"", "<b> & \""},
  });
}

TEST_F(StringModes, Codecs) {
  expectRows({
      {{{"mode", "urlEncode"}}, "a b&c/d", "a%20b%26c/d"},
      {{{"mode", "urlEncode"}}, "\xE9~:", "\xE9~:"},
      {{{"mode", "urlDecode"}}, "a+b%2Bc", "a b+c"},
      {{{"mode", "urlDecode"}}, "100%", "100%"},
      {{{"mode", "urlDecode"}}, "%41%4", "A%4"},
      {{{"mode", "htmlEncode"}}, "<a href=\"x\">", "&lt;a href=&quot;x&quot;&gt;"},
      {{{"mode", "htmlEncode"}}, "\xE9\xD3!\x85", "&eacute;&Oacute;!&#133"},
      {{{"mode", "htmlEncode"}}, "Jos\xC3\xA9 \xD3\x85", "Jos\xC3\xA9 \xD3\x85"},
      {{{"mode", "htmlDecode"}}, "&lt;&LT;&#60;&eacute", "<&LT;&#60;&eacute"},
      {{{"mode", "htmlDecode"}}, "&amp;lt;", "&lt;"},
      {{{"mode", "toUpper"}}, "aBc1\xE9", "ABC1\xE9"},
      {{{"mode", "toLower"}}, "AbC1\xC9", "abc1\xC9"},
  });
}

TEST_F(StringModes, Substring) {
  auto row = [](const char* begin, const char* length, const char* expected) {
    return StringCase{{{"mode", "substring"}, {"beginningIndex", begin}, {"length", length}},
                      "abcdef", expected};
  };
  expectRows({
      row("2", "3", "bcd"),
      row("1", "6", "abcdef"),
      row("5", "10", "ef"),
      row("6", "1", "f"),
      row("3", "-1", "cdef"),  // a negative count takes the rest
      row("0", "2", ""),
      row("-1", "2", ""),
      row("7", "1", ""),
      row("x", "2", ""),  // not a number: before the first byte, so nothing
      row("1", "x", ""),
      row("2.9", "2", "bc"),  // truncated toward zero after subtracting 1
      row("1", "2.7", "ab"),
      row("1", "0", ""),
      // Values beyond 32 bits stay past the end instead of wrapping round.
      row("4294967297", "1", ""),
      row("-4294967295", "1", ""),
      row("2", "4294967296", "bcdef"),
      row("2", "-4294967296", "bcdef"),
  });
}

TEST_F(StringModes, Insert) {
  auto row = [](const char* insertion, const char* index, const char* expected) {
    return StringCase{{{"mode", "insert"}, {"stringToInsert", insertion}, {"index", index}},
                      "abc", expected};
  };
  expectRows({
      row("X", "1", "Xabc"),
      row("X", "2", "aXbc"),
      row("X", "4", "abcX"),
      row("X", "0", "abcX"),
      row("X", "9", "abcX"),
      row("X", "-3", "abcX"),
      row("X", "x", "abcX"),
      row("X", "1.9", "Xabc"),
      row("\\t", "1", "\tabc"),
      row("\\065", "1", "Aabc"),
      row("", "2", "abc"),
      row("X", "4294967297", "abcX"),
      row("X", "-4294967295", "abcX"),
  });
  Result r = runBody({{"mode", "insert"}, {"stringToInsert", "X"}, {"index", "1"}}, "");
  EXPECT_EQ(r.output, "X");
}

TEST_F(StringModes, ReplacePrependAppend) {
  auto replace = [](const char* body, const char* from, const char* to, const char* expected,
                    bool caseSensitive = false) {
    NamedValues p = {{"mode", "replace"}, {"stringToReplace", from}, {"replacementString", to}};
    if (caseSensitive) p.push_back({"caseSensitive", "true"});
    return StringCase{p, body, expected};
  };
  expectRows({
      replace("aAa", "A", "b", "bbb"),
      replace("aAa", "A", "b", "aba", true),
      replace("a-b", "-", "\\t", "a\tb"),
      replace("a-b", "-", "\\065", "aAb"),
      replace("aaaa", "aa", "b", "bb"),
      replace("aaa", "aa", "b", "ba"),
      replace("aa", "a", "aa", "aaaa"),  // replacements are not searched again
      replace("abc", "", "x", "abc"),    // an empty text occurs nowhere
      replace("abc", "b", "", "ac"),
      replace("a\\tb", "\\\\t", "T", "aTb"),  // the decoded pattern is backslash, t
      replace("", "a", "b", ""),
      {{{"mode", "prepend"}, {"stringToPrepend", "x\\n"}}, "b", "x\nb"},
      {{{"mode", "append"}, {"stringToAppend", "\\\\n"}}, "b", "b\\n"},
      {{{"mode", "append"}, {"stringToAppend", ""}}, "b", "b"},
  });
}

TEST_F(StringModes, TrimAndLength) {
  expectRows({
      {{{"mode", "trimLeft"}}, "  \t a b \r\n", "a b \r\n"},
      {{{"mode", "trimRight"}}, "  \t a b \r\n", "  \t a b"},
      {{{"mode", "trim"}}, "  \t a b \r\n", "a b"},
      {{{"mode", "trim"}}, "\v a \f", "\v a \f"},
      {{{"mode", "trim"}}, " \r\n ", ""},
      {{{"mode", "getLength"}}, "abc", "3"},
      {{{"mode", "getLength"}}, "", "0"},
      {{{"mode", "getLength"}}, "\xE9\r\n", "3"},
  });
}

TEST_F(StringModes, Split) {
  auto row = [](const char* body, const char* delimiter, const char* index, const char* expected,
                bool caseSensitive = false) {
    NamedValues p = {{"mode", "split"}, {"index", index}, {"delimiter", delimiter}};
    if (caseSensitive) p.push_back({"caseSensitive", "yes"});
    return StringCase{p, body, expected};
  };
  expectRows({
      row("a,b,,c", ",", "4", "c"),
      row("a,b,,c", ",", "1", "a"),
      row("a,b,,c", ",", "3", ""),
      row("a,b,,c", ",", "5", ""),
      row("a,b,,c", ",", "0", ""),
      row("a,b,,c", ",", "-1", ""),
      row("a,b,,c", ",", "x", ""),
      row("a,b,,c", ",", "1.5", "a"),
      row("a,b,,c", ",", "4294967297", ""),
      row("A x a", "X", "2", " a"),
      row("A x a", "X", "2", "", true),
      row("A x a", "X", "1", "A x a", true),
      row("a\tb", "\\t", "2", "b"),
      row("", ",", "1", ""),
      row("abc", "", "1", ""),
      row("a::b", "::", "2", "b"),
  });
}

TEST_F(StringModes, Counts) {
  auto chars = [](const char* body, const char* character, const char* expected,
                  bool caseSensitive = false) {
    NamedValues p = {{"mode", "getCharacterCount"}, {"character", character}};
    if (caseSensitive) p.push_back({"caseSensitive", "1"});
    return StringCase{p, body, expected};
  };
  expectRows({
      {{{"mode", "getWordCount"}}, "  one two\r\nthree  ", "3"},
      {{{"mode", "getWordCount"}}, "", "0"},
      {{{"mode", "getWordCount"}}, "   \t\r\n", "0"},
      {{{"mode", "getWordCount"}}, "a\tb\rc\nd\r\ne", "5"},
      {{{"mode", "getWordCount"}}, "a\vb", "1"},
      {{{"mode", "getCharacterCount"}}, "a\r\nb\nc", "3"},
      {{{"mode", "getCharacterCount"}}, "", "0"},
      chars("abab", "ab", "2"),
      chars("aaa", "aa", "1"),
      chars("AaA", "a", "3"),
      chars("AaA", "a", "1", true),
      chars("abc", "", "0"),
      chars("a\nb\n", "\\n", "2"),
      chars("a\r\nb", "\\r\\n", "1"),
  });
}

TEST_F(StringModes, Padding) {
  auto pad = [](const char* mode, const char* character, const char* length,
                const char* expected) {
    NamedValues p = {{"mode", mode}};
    if (character) p.push_back({"character", character});
    if (length) p.push_back({"length", length});
    return StringCase{p, "7", expected};
  };
  expectRows({
      pad("padLeft", "0", "2", "007"),
      pad("padLeft", "0", "-1", "7"),
      pad("padLeft", "0", "x", "7"),
      pad("padLeft", "0", "0", "7"),
      pad("padLeft", "0", "2.5", "0007"),
      pad("padLeft", "0", "0.1", "07"),
      pad("padLeft", "0", nullptr, "07"),
      pad("padLeft", nullptr, "3", "   7"),
      pad("padLeft", "", "3", "7"),
      pad("padLeft", "\\t", "1", "\t7"),
      pad("padRight", "ab", "2", "7abab"),
      pad("padRight", nullptr, nullptr, "7 "),
      pad("padRight", "0", "-0.5", "7"),
  });
  Result r = runBody({{"mode", "padLeft"}, {"character", "xy"}, {"length", "100000"}}, "z");
  EXPECT_EQ(r.output.size(), 200001u);
  EXPECT_EQ(r.output.substr(0, 4), "xyxy");
  EXPECT_EQ(r.output.substr(199998), "xyz");
}

TEST_F(StringModes, QuoteResult) {
  expectRows({
      {{{"mode", "getLength"}, {"quoteResult", "true"}}, "abc", "\"3\""},
      {{{"quoteResult", "on"}}, "", "\"\""},
      {{{"quoteResult", "no"}}, "a", "a"},
      {{{"mode", "substring"}, {"beginningIndex", "9"}, {"length", "1"}, {"quoteResult", "y"}},
       "abc", "\"\""},
  });
}

struct MissingCase {
  NamedValues params;
  const char* parameter;  // the one reported
};

TEST_F(StringModes, MissingRequiredParametersStopTheTag) {
  const std::vector<MissingCase> cases = {
      {{{"mode", "substring"}}, "beginningIndex"},
      {{{"mode", "substring"}, {"length", "1"}}, "beginningIndex"},
      {{{"mode", "substring"}, {"beginningIndex", "1"}}, "length"},
      {{{"mode", "replace"}}, "stringToReplace"},
      {{{"mode", "replace"}, {"stringToReplace", "a"}}, "replacementString"},
      {{{"mode", "replace"}, {"replacementString", "a"}}, "stringToReplace"},
      {{{"mode", "insert"}}, "stringToInsert"},
      {{{"mode", "insert"}, {"stringToInsert", "a"}}, "index"},
      {{{"mode", "prepend"}}, "stringToPrepend"},
      {{{"mode", "append"}}, "stringToAppend"},
      {{{"mode", "split"}}, "index"},
      {{{"mode", "split"}, {"delimiter", ","}}, "index"},
      {{{"mode", "split"}, {"index", "1"}}, "delimiter"},
      {{{"mode", "regularExpression"}}, "regularExpression"},
  };
  for (const MissingCase& c : cases) {
    Result r = runBody(c.params, "abc");
    EXPECT_EQ(r.result, MMRP) << c.parameter;
    EXPECT_EQ(r.output, "") << c.parameter;
    ASSERT_EQ(r.errors.size(), 1u) << c.parameter;
    EXPECT_EQ(r.errors[0].message, missingMessage("qelString", c.parameter));
    EXPECT_EQ(r.errors[0].hint, "Check the &lt;qelString&gt; tag to see if the &quot;" +
                                    std::string(c.parameter) +
                                    "&quot; parameter is missing or misspelled.");
  }
  Result r = runInline({{"mode", "toUpper"}});
  EXPECT_EQ(r.result, MMRP);
  ASSERT_EQ(r.errors.size(), 1u);
  EXPECT_EQ(r.errors[0].message, missingMessage("qelInlineString", "string"));
  EXPECT_EQ(r.output, "");
  // Present with an empty value counts as present.
  r = runInline({{"string", ""}, {"mode", "getLength"}});
  EXPECT_EQ(r.result, 0u);
  EXPECT_EQ(r.output, "0");
}

TEST_F(StringModes, ResultsBeyondTheLimitFailWithAMessage) {
  const std::vector<NamedValues> cases = {
      {{"mode", "padLeft"}, {"character", "0"}, {"length", "16777217"}},
      {{"mode", "padRight"}, {"character", "ab"}, {"length", "8388608"}},
      {{"mode", "padLeft"}, {"character", "0"}, {"length", "99999999999999999999"}},
      {{"mode", "padLeft"}, {"character", "0"}, {"length", "100000000000000000000000000000"}},
  };
  for (const NamedValues& params : cases) {
    Result r = runBody(params, "7");
    EXPECT_EQ(r.result, MIPV) << params[2].value;
    EXPECT_EQ(r.output, "");
    ASSERT_EQ(r.errors.size(), 1u);
    EXPECT_EQ(r.errors[0].message,
              "The result of the string operation would be longer than 16777216 bytes.");
    EXPECT_EQ(r.errors[0].hint,
              "Use a smaller length, a shorter text to repeat or a shorter replacement.");
  }
  // Exactly at the limit is allowed.
  Result r = runBody({{"mode", "padLeft"}, {"character", "0"}, {"length", "16777215"}}, "7");
  EXPECT_EQ(r.result, 0u);
  EXPECT_EQ(r.output.size(), 16777216u);
  // A replacement that would grow the text past the limit.
  r = runBody({{"mode", "replace"}, {"stringToReplace", "a"}, {"replacementString", "bbbbbbbbbbbbbbbbb"}},
              std::string(1 << 20, 'a'));
  EXPECT_EQ(r.result, MIPV);
  EXPECT_EQ(r.output, "");
}

}  // namespace
}  // namespace bw::test
