// Every example of the page-language guide, rendered and compared.
//
// An example is a line "<!-- example -->" (settings may follow the word
// "example", separated by " | ", in the page cases' settings syntax) and the
// next two fenced blocks: the page, then its output.  A third block fenced as
// "```reports" holds the reports the page must give; without it, none.  The
// blocks are compared without their final line break.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "pages/page_case_support.h"

namespace bw {
namespace {

struct GuideExample {
  size_t line = 0;  // of the "<!-- example" comment
  std::string settings, page, output, reports;
};

// The fenced block starting at or after lines[i]; i ends past the block.
bool readBlock(const std::vector<std::string>& lines, size_t& i, std::string& info, std::string& text) {
  while (i < lines.size() && lines[i].empty()) ++i;
  if (i >= lines.size() || lines[i].rfind("```", 0) != 0) return false;
  info = lines[i].substr(3);
  text.clear();
  bool first = true;
  for (++i; i < lines.size() && lines[i] != "```"; ++i) {
    if (!first) text += '\n';
    text += lines[i];
    first = false;
  }
  if (i >= lines.size()) return false;
  ++i;
  return true;
}

std::vector<GuideExample> readGuide() {
  std::ifstream in(PAGE_LANGUAGE_GUIDE);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::vector<GuideExample> examples;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string marker = "<!-- example";
    if (lines[i].rfind(marker, 0) != 0) continue;
    GuideExample example;
    example.line = i + 1;
    std::string settings = lines[i].substr(marker.size());
    settings = settings.substr(0, settings.find("-->"));
    for (size_t bar; (bar = settings.find(" | ")) != std::string::npos;) settings.replace(bar, 3, "\n");
    while (!settings.empty() && settings.front() == ' ') settings.erase(0, 1);
    while (!settings.empty() && settings.back() == ' ') settings.pop_back();
    example.settings = settings;
    size_t j = i + 1;
    std::string info;
    if (!readBlock(lines, j, info, example.page) || !readBlock(lines, j, info, example.output)) {
      example.page = "\x01unreadable";
    } else {
      size_t k = j;
      std::string reports;
      if (readBlock(lines, k, info, reports) && info == "reports") example.reports = reports + "\n";
    }
    examples.push_back(example);
  }
  return examples;
}

class GuideExamples : public WithModuleLibrary<::testing::TestWithParam<GuideExample>> {};

TEST_P(GuideExamples, RenderAsShown) {
  ASSERT_NE(library, nullptr);
  const GuideExample& example = GetParam();
  ASSERT_NE(example.page, "\x01unreadable") << "the example needs a page block and an output block";
  CaseSettings settings;
  ASSERT_TRUE(parseSettings(example.settings, settings));
  CaseResult result = renderCase(*library, example.page, settings);
  EXPECT_EQ(result.output, example.output) << "docs/page-language.md:" << example.line;
  EXPECT_EQ(result.reports, example.reports) << "docs/page-language.md:" << example.line;
}

TEST(Guide, HasAnExampleForEveryTagModeAndRelationship) {
  std::string all;
  for (const GuideExample& example : readGuide()) all += example.page;
  const char* const used[] = {
      // tags
      "<qelComment", "<qelIf", "<qelInlineIf", "<qelInlineString", "<qelLoop", "<qelMath",
      "<qelString", "<qelSwitch", "<qelCase", "<qelElse>",
      // string modes
      "\"urlEncode\"", "\"urlDecode\"", "\"htmlEncode\"", "\"htmlDecode\"", "\"toUpper\"",
      "\"toLower\"", "\"substring\"", "\"replace\"", "\"insert\"", "\"prepend\"", "\"append\"",
      "\"trimLeft\"", "\"trimRight\"", "\"trim\"", "\"getLength\"", "\"noOperation\"", "\"split\"",
      "\"getWordCount\"", "\"getCharacterCount\"", "\"padLeft\"", "\"padRight\"",
      "\"regularExpression\"",
      // relationships and orders
      "\"equals\"", "\"doesNotEqual\"", "\"lessThan\"", "\"lessThanOrEqualTo\"", "\"greaterThan\"",
      "\"greaterThanOrEqualTo\"", "\"contains\"", "\"doesNotContain\"", "\"beginsWith\"",
      "\"doesNotBeginWith\"", "\"endsWith\"", "\"doesNotEndWith\"", "\"isEmpty\"", "\"isNotEmpty\"",
      "\"=\"", "\"<>\"", "\"<\"", "\"<=\"", "\">\"", "\">=\"", "\"alphabetical\"",
      // parameters not implied by the above
      "caseSensitive=", "quoteResult=", "indexName=", "iteration=", "listDelimiter=", "itemList=",
      "item=", "step=", "workPrecision=", "resultPrecision=", "displayPrecision=", "resultVariableName=",
      "character=", "length=",
  };
  for (const char* text : used) EXPECT_NE(all.find(text), std::string::npos) << "no example uses " << text;
}

INSTANTIATE_TEST_SUITE_P(Guide, GuideExamples, ::testing::ValuesIn(readGuide()),
                         [](const ::testing::TestParamInfo<GuideExample>& info) {
                           return "line" + std::to_string(info.param.line);
                         });

}  // namespace
}  // namespace bw
