// Values from outside the page: which references bring them in, how they are
// inserted into parameters, and what becomes of the answers of the tags that
// received them.  Whole pages are tested as page cases (tests/pages/outside_*)
// and by the attack table (attack_pages_test.py).
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "engine/answer_escaping.h"
#include "engine/page_variables.h"
#include "engine/reference_segments.h"

namespace bw {
namespace {

class OutsideValues : public ::testing::Test {
 protected:
  std::map<std::string, std::string> variables{{"own", "<b>"}, {"m", "<i>"}, {"empty", ""}};
  NamedValues fields{{"q", "<s>$x"}, {"blank", ""}};
  OutsideMarks marks{"m", "empty"};
  VariableScope scope{&variables, &fields, nullptr, &marks};

  struct Expanded {
    std::string text;
    OutsideText held;
  };
  Expanded expand(const std::string& text, Insertion insertion) {
    Expanded e;
    e.held = appendExpanded(e.text, text, scope, insertion);
    return e;
  }
};

TEST_F(OutsideValues, RequestFieldsAndMarkedVariablesComeFromOutsideUnlessWrittenRaw) {
  using K = ReferenceAt::Kind;
  struct Case {
    K kind;
    bool raw;
    const char* name;
    bool outside;
  } cases[] = {
      {K::RequestField, false, "q", true},  {K::RequestField, true, "q", false},
      {K::RequestField, false, "none", true},  // absent, but a visitor could send it
      {K::Variable, false, "m", true},      {K::Variable, true, "m", false},
      {K::Variable, false, "own", false},   {K::Variable, false, "nobody", false},
      {K::Escape, false, "", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(comesFromOutside(c.kind, c.raw, c.name, scope), c.outside) << c.name << " raw " << c.raw;
  VariableScope unmarked{&variables, &fields};
  EXPECT_FALSE(comesFromOutside(K::Variable, false, "m", unmarked));
}

TEST_F(OutsideValues, ExpansionInsertsOutsideValuesAsAskedAndTheOwnExactly) {
  struct Case {
    const char* text;
    Insertion insertion;
    const char* expanded;
    OutsideText held;
  } cases[] = {
      {"a${own}b", Insertion::Exact, "a<b>b", OutsideText::None},
      {"a${own}b", Insertion::ForPage, "a<b>b", OutsideText::None},
      {"[${param.q}]", Insertion::Exact, "[<s>$x]", OutsideText::Exact},
      {"[${param.q}]", Insertion::ForPage, "[&lt;s&gt;&#36;x]", OutsideText::Escaped},
      {"[${raw:param.q}]", Insertion::ForPage, "[<s>$x]", OutsideText::None},
      {"${m}${own}", Insertion::ForPage, "&lt;i&gt;<b>", OutsideText::Escaped},
      {"${raw:m}", Insertion::ForPage, "<i>", OutsideText::None},
      // Nothing came in from an empty or absent value.
      {"${param.blank}${param.none}${empty}", Insertion::Exact, "", OutsideText::None},
      {"$${param.q} $5", Insertion::Exact, "${param.q} $5", OutsideText::None},
  };
  for (const Case& c : cases) {
    Expanded e = expand(c.text, c.insertion);
    EXPECT_EQ(e.text, c.expanded) << c.text;
    EXPECT_EQ(e.held, c.held) << c.text;
  }
}

// The segments of a compiled page expand as the text does, marks included.
TEST_F(OutsideValues, SegmentsExpandAsTheText) {
  const char* texts[] = {"", "plain", "${param.q}", "a${own}${m}b${raw:m}", "$${m}${param.blank}$",
                         "${param.q}${raw:param.q}${nobody}", "${m"};
  for (const char* text : texts) {
    for (Insertion insertion : {Insertion::Exact, Insertion::ForPage}) {
      std::vector<TextSegment> segments;
      cutReferences(text, segments);
      std::string out;
      const OutsideText held = appendSegmentsMarked(
          out, segments.data(), segments.size(), [&](const TextSegment& s) { return valueOf(s, scope); }, scope,
          insertion);
      Expanded e = expand(text, insertion);
      EXPECT_EQ(out, e.text) << text;
      EXPECT_EQ(held, e.held) << text;
    }
  }
}

TEST(AnswerEscaping, CopiedParametersOfVerbatimTagsAreEscapedWhereTheAnswerIsPageText) {
  struct Case {
    const char* tag;
    const char* parameter;
    bool answerIsPageText;
    Insertion insertion;
  } cases[] = {
      {"qelInlineIf", "then", true, Insertion::ForPage},
      {"QELINLINEIF", "ELSE", true, Insertion::ForPage},
      {"qelInlineIf", "then", false, Insertion::Exact},  // inside a data body: the enclosing tag is judged
      {"qelInlineIf", "lhs", true, Insertion::Exact},
      // A loop's answer is processed again as page text, wherever it stands.
      {"qelLoop", "item", false, Insertion::ForPage},
      {"qelLoop", "itemList", true, Insertion::ForPage},
      {"qelLoop", "listDelimiter", true, Insertion::Exact},
      {"qelLoop", "first", true, Insertion::Exact},
      // Transforming tags compute on the exact value; their answer is escaped.
      {"qelString", "stringToAppend", true, Insertion::Exact},
      {"qelInlineString", "string", true, Insertion::Exact},
      {"qelIf", "rhs", true, Insertion::Exact},
  };
  for (const Case& c : cases)
    EXPECT_EQ(insertionFor(c.tag, c.parameter, c.answerIsPageText), c.insertion) << c.tag << " " << c.parameter;
}

struct AnswerCase {
  const char* tag;
  const char* mode;  // null: no mode parameter
  OutsideText input;
  bool intoPage;
  const char* answer;
  const char* written;
  OutsideText holds;
};

TEST(AnswerEscaping, AnswersAreEscapedByTheirTagsAndModes) {
  using O = OutsideText;
  const AnswerCase cases[] = {
      {"qelString", "trim", O::None, true, "<b>", "<b>", O::None},
      {"qelString", "trim", O::Exact, true, "<b>'", "&lt;b&gt;&#39;", O::Escaped},
      {"qelString", "trim", O::Exact, false, "<b>", "<b>", O::Exact},
      {"qelString", nullptr, O::Exact, true, "<b>", "&lt;b&gt;", O::Escaped},
      {"qelInlineString", "TOUPPER", O::Exact, true, "<B>", "&lt;B&gt;", O::Escaped},
      {"qelString", "getLength", O::Exact, true, "3", "3", O::None},
      {"qelString", "getWordCount", O::Exact, false, "3", "3", O::None},
      // Encodings are safe, but leave the apostrophe, which ends a quoted attribute.
      {"qelString", "htmlEncode", O::Exact, true, "&lt;it's", "&lt;it&#39;s", O::Escaped},
      {"qelString", "urlEncode", O::Exact, true, "it's%3C", "it%27s%3C", O::Escaped},
      {"qelString", "htmlEncode", O::Exact, false, "it's", "it's", O::Escaped},
      // Decoding undoes any escaping of the input.
      {"qelString", "htmlDecode", O::Escaped, true, "<b>", "&lt;b&gt;", O::Escaped},
      {"qelString", "urlDecode", O::Escaped, false, "<b>", "<b>", O::Exact},
      {"qelString", "toUpper", O::Escaped, true, "&LT;B&GT;'", "&LT;B&GT;&#39;", O::Escaped},
      // Verbatim tags had their copied values escaped as they were inserted.
      {"qelInlineIf", nullptr, O::Escaped, true, "<b>&lt;</b>", "<b>&lt;</b>", O::Escaped},
      {"qelLoop", nullptr, O::Escaped, false, "<li>&lt;</li>", "<li>&lt;</li>", O::Escaped},
      {"qelInlineIf", nullptr, O::Exact, false, "<s>", "<s>", O::Exact},
      // Tags whose answer holds none of their parameters.
      {"qelMath", nullptr, O::Exact, true, "42", "42", O::None},
      {"qelIf", nullptr, O::Exact, true, "<b>", "<b>", O::None},
  };
  for (const AnswerCase& c : cases) {
    TagParameters parameters;
    if (c.mode != nullptr) parameters.add("mode", c.mode);
    std::string answer = c.answer;
    const OutsideText holds = finishAnswer(c.tag, parameters, c.input, c.intoPage, answer);
    EXPECT_EQ(answer, c.written) << c.tag << " " << (c.mode ? c.mode : "") << " " << c.answer;
    EXPECT_EQ(holds, c.holds) << c.tag << " " << (c.mode ? c.mode : "") << " " << c.answer;
  }
}

TEST(AnswerEscaping, IndexNamesFromOutsideKeepTheirLettersAndDigits) {
  EXPECT_EQ(lettersAndDigits("row"), "row");
  EXPECT_EQ(lettersAndDigits("r\"><script>alert(1)</script><qelComment a=\""), "rscriptalert1scriptqelCommenta");
  EXPECT_EQ(lettersAndDigits("\xE9;&-_"), "");
  TagParameters parameters;
  parameters.add("indexName", "${param.n}");
  parameters.add("item", "${param.n}");
  NamedValues fields{{"n", "a\"b;"}};
  VariableScope scope{nullptr, &fields};
  const TagInputs inputs = expandTagParameters(
      "qelLoop", parameters, true,
      [&](size_t, std::string_view value, std::string& out, Insertion insertion) -> std::optional<OutsideText> {
        return appendExpanded(out, value, scope, insertion);
      });
  EXPECT_TRUE(inputs.indexNameCut);
  EXPECT_EQ(inputs.copied, OutsideText::Escaped);
  EXPECT_EQ(*parameters.find("indexName"), "ab");
  EXPECT_EQ(*parameters.find("item"), "a&quot;b;");
}

}  // namespace
}  // namespace bw
