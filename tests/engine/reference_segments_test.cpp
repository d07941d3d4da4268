// Texts cut at their references expand as the texts themselves do.  The text
// expansion is the definition: every case, hand-written or random, is
// expanded both ways and compared, and the places the segments keep are
// checked against the text, since the output limit reports them.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "engine/page_variables.h"
#include "engine/reference_segments.h"
#include "tests/engine/seeded_random.h"

namespace bw {
namespace {

class Segments : public ::testing::Test {
 protected:
  // Names a malformed or oddly prefixed reference could reach, so that a
  // reading that cuts a name wrongly finds a value and shows.
  std::map<std::string, std::string> variables{
      {"a", "1"}, {"b", "<2>"}, {"a.b", "3"}, {"raw:a", "R"}, {"", "E"}, {"param.a", "P"}, {"Raw:a", "C"},
      {std::string(kLongestVariableReference - 1, 'n'), "L"}, {std::string(kLongestVariableReference, 'n'), "M"}};
  NamedValues fields{{"a", "F"}, {"", "FE"}, {"raw:a", "FR"}};
  VariableIndex index;
  VariableScope scope{&variables, &fields, &index};

  // Expands text from its segments, after checking that each segment stands
  // where it says.
  ::testing::AssertionResult expandsAlike(const std::string& text) {
    std::vector<TextSegment> segments{TextSegment{}};  // a segment before, as in a page's list
    const bool cut = cutReferences(text, segments);
    std::string fromSegments;
    appendSegmentsExactly(fromSegments, segments.data() + 1, segments.size() - 1, scope);
    const std::string fromText = expandExact(text, scope);
    if (fromSegments != fromText)
      return ::testing::AssertionFailure() << "\"" << text << "\" gives \"" << fromSegments << "\", not \"" << fromText << "\"";
    size_t covered = 0;
    for (size_t i = 1; i < segments.size(); ++i) {
      const TextSegment& s = segments[i];
      if (s.at != covered) return ::testing::AssertionFailure() << "\"" << text << "\": segment " << i << " is not where the last ended";
      std::string_view from = std::string_view(text).substr(s.at);
      size_t length = s.text.size();
      bool stands = s.kind == TextSegment::Kind::Literal ? from.substr(0, length) == s.text
                    : s.kind == TextSegment::Kind::Escape ? from.substr(0, 3) == "$${" && s.text == "${"
                                                          : from.substr(0, 2) == "${";
      if (s.isReference()) {
        length = readReferenceAt(text, s.at).length;
        stands = stands && length > 0 && text[s.at + length - 1] == '}';
      } else if (s.kind == TextSegment::Kind::Escape) {
        length = 3;
      }
      if (!stands) return ::testing::AssertionFailure() << "\"" << text << "\": segment " << i << " does not stand at " << s.at;
      covered += length;
    }
    if (covered != text.size()) return ::testing::AssertionFailure() << "\"" << text << "\": the segments do not cover it";
    if (!cut && segments.size() != (text.empty() ? 1u : 2u))
      return ::testing::AssertionFailure() << "\"" << text << "\": left uncut but not whole";
    return ::testing::AssertionSuccess();
  }
};

TEST_F(Segments, MalformedAndOddReferencesExpandAsTheText) {
  const std::string longest(kLongestVariableReference - 1, 'n');
  const std::string tooLong(kLongestVariableReference, 'n');
  const std::string cases[] = {
      "", "plain", "$", "a$", "$$", "$$$", "${", "${a", "${}", "${a b}", "${a<b}", "${a}", "${a}${b}",
      "x${a}y${b}z", "$${", "$${a}", "$$${a}", "$$$${a}", "${$${a}}", "${${a}}", "${raw:a}", "${raw:}",
      "${raw:raw:a}", "${Raw:a}", "${RAW:a}", "${param.a}", "${PARAM.A}", "${param.}", "${raw:param.a}",
      "${param.raw:a}", "${param.param.a}", "${a.b}", "${a-b_c:d}", "${é}", "$ {a}", "${a }", "}${a}{",
      "${" + longest + "}", "${" + tooLong + "}", "${raw:" + longest.substr(4) + "}", "$${" + tooLong + "}",
      "${" + longest, "cost $5 and ${a}$",
  };
  for (const std::string& text : cases) EXPECT_TRUE(expandsAlike(text));
}

TEST_F(Segments, ExpansionReadsTheValuesOfTheMoment) {
  std::vector<TextSegment> segments;
  ASSERT_TRUE(cutReferences("${a}|${new}|${param.a}", segments));
  auto expand = [&] {
    std::string out;
    appendSegmentsExactly(out, segments.data(), segments.size(), scope);
    return out;
  };
  EXPECT_EQ(expand(), "1||F");
  variables["a"] = "changed";
  variables["new"] = "added";
  fields[0].value = "G";
  EXPECT_EQ(expand(), "changed|added|G");
}

// Values looked up once per name see what a render changes: a value set
// for a name already found, and a name first missing and then added.
TEST_F(Segments, ReferenceValuesSeeVariablesSetDuringTheRender) {
  std::vector<TextSegment> segments;
  ASSERT_TRUE(cutReferences("${a}|${later}|${param.a}|${param.none}", segments));
  size_t slot = 0;
  for (TextSegment& s : segments)
    if (s.isReference()) s.slot = slot++;
  ReferenceValues values;
  values.reset(scope, slot);
  auto expand = [&] {
    std::string out;
    appendSegments(out, segments.data(), segments.size(),
                   [&values](const TextSegment& s) { return values.valueOf(s); });
    return out;
  };
  EXPECT_EQ(expand(), "1||F|");
  EXPECT_EQ(expand(), "1||F|");
  variables["a"] = "again";
  EXPECT_EQ(expand(), "again||F|");
  variables["other"] = "o";
  EXPECT_EQ(expand(), "again||F|");
  variables["later"] = "now";
  EXPECT_EQ(expand(), "again|now|F|");
  variables["later"] = "changed";
  EXPECT_EQ(expand(), "again|changed|F|");
}

// Random texts of the bytes and words references are made of.
TEST_F(Segments, RandomTextsExpandAsTheText) {
  const std::string pieces[] = {"$", "{", "}", "a", "b", ".", "_", ":", "raw:", "param.", "PARAM.", "${",
                                "$${", "}}", " ", "<", "n", std::string(60, 'n'), "é"};
  const size_t pieceCount = sizeof pieces / sizeof pieces[0];
  SeededRandom random(20261208);
  auto next = [&random](uint64_t bound) { return random.below(bound); };
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    for (uint64_t n = next(16); n > 0; --n) text += pieces[next(pieceCount)];
    ASSERT_TRUE(expandsAlike(text));
  }
}

}  // namespace
}  // namespace bw
