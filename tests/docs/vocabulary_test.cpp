// The tag vocabulary against the two things it describes: the guide, whose
// parameter tables must name exactly the parameters the vocabulary holds, and
// the real module, whose registered tags and flags it must list.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "engine/module_library.h"
#include "engine/tag_vocabulary.h"
#include "engine/text_util.h"

namespace bw {
namespace {

std::vector<std::string> guideLines() {
  std::ifstream in(PAGE_LANGUAGE_GUIDE);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> cells(const std::string& row) {
  std::vector<std::string> out;
  std::string cell;
  bool escaped = false;
  for (size_t i = 1; i < row.size(); ++i) {
    char c = row[i];
    if (c == '\\' && !escaped) {
      escaped = true;
      cell += c;
      continue;
    }
    if (c == '|' && !escaped) {
      out.push_back(cell);
      cell.clear();
    } else {
      cell += c;
    }
    escaped = false;
  }
  return out;
}

// The `names` in a cell, in order.
std::vector<std::string> codeWords(const std::string& cell) {
  std::vector<std::string> words;
  for (size_t open = cell.find('`'); open != std::string::npos; open = cell.find('`', open)) {
    size_t close = cell.find('`', open + 1);
    if (close == std::string::npos) break;
    words.push_back(cell.substr(open + 1, close - open - 1));
    open = close + 1;
  }
  return words;
}

std::string trimmed(std::string s) {
  while (!s.empty() && s.front() == ' ') s.erase(0, 1);
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

// Parameter columns ("parameter", "parameters") of the tables under each
// "## " heading that names tags: heading line -> names found there.
struct DocumentedParameter {
  size_t line;
  std::string name;
};
std::map<std::string, std::vector<DocumentedParameter>> parametersBySection() {
  std::map<std::string, std::vector<DocumentedParameter>> found;
  std::vector<std::string> lines = guideLines();
  std::string section;
  int column = -1;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line.rfind("## ", 0) == 0) section = line.substr(3);
    if (line.rfind("|", 0) != 0) {
      column = -1;
      continue;
    }
    std::vector<std::string> row = cells(line);
    if (column < 0) {  // a header row
      for (size_t c = 0; c < row.size(); ++c) {
        std::string head = trimmed(row[c]);
        if (head == "parameter" || head == "parameters") column = static_cast<int>(c);
      }
      if (column < 0) column = 1000;  // a table without a parameter column
      continue;
    }
    if (static_cast<size_t>(column) >= row.size() || row[column].find("---") != std::string::npos) continue;
    for (const std::string& word : codeWords(row[column])) found[section].push_back({i + 1, word});
  }
  return found;
}

// The tags a section heading names ("qelIf and qelInlineIf").
std::vector<const TagSpec*> tagsOf(const std::string& heading) {
  std::vector<const TagSpec*> tags;
  std::istringstream words(heading);
  for (std::string word; words >> word;)
    if (const TagSpec* tag = findTagSpec(word)) tags.push_back(tag);
  return tags;
}

TEST(Vocabulary, EveryParameterInTheGuidesTagSectionsIsInTheTable) {
  auto sections = parametersBySection();
  size_t checked = 0;
  for (const auto& [heading, parameters] : sections) {
    std::vector<const TagSpec*> tags = tagsOf(heading);
    if (tags.empty()) continue;
    for (const DocumentedParameter& p : parameters) {
      bool known = false;
      for (const TagSpec* tag : tags) known = known || tag->findParameter(p.name) != nullptr;
      EXPECT_TRUE(known) << "docs/page-language.md:" << p.line << ": `" << p.name
                         << "` is not a parameter of " << heading;
      ++checked;
    }
  }
  EXPECT_GT(checked, 30u);
}

// "## Parameters at a glance": one row per tag and parameter, and every row
// of the vocabulary in it.
std::string requiredText(const ParameterSpec& p) {
  if (!p.required) return "no";
  const Condition& c = p.requiredWhen;
  if (c.parameter == nullptr) return "yes";
  if (c.keywords.empty()) return std::string("when `") + c.parameter + "` is given";
  std::string words;
  for (size_t i = 0; i < c.keywords.count; ++i) {
    if (i != 0) words += i + 1 == c.keywords.count ? " or " : ", ";
    words += std::string("`") + c.keywords.words[i] + "`";
  }
  if (std::string(c.parameter) == "mode") return (c.keywords.count > 1 ? "in modes " : "in mode ") + words;
  return std::string(c.unless ? "unless `" : "when `") + c.parameter + "` is " + words;
}

std::string glanceRow(const TagSpec& tag, const ParameterSpec& p) {
  return std::string("| `") + tag.name + "` | `" + p.name + "` | " + requiredText(p) + " | " +
         (p.role == ParameterRole::Copied ? "yes" : "no") + " |";
}

TEST(Vocabulary, TheGuidesTableAtAGlanceListsEveryParameterOfTheTable) {
  std::vector<std::string> lines = guideLines();
  std::set<std::string> documented;
  bool inSection = false;
  for (const std::string& line : lines) {
    if (line.rfind("## ", 0) == 0) inSection = line == "## Parameters at a glance";
    if (inSection && line.rfind("| `", 0) == 0) documented.insert(line);
  }
  std::set<std::string> expected;
  std::string all;
  for (const TagSpec* tag : allTagSpecs())
    for (const ParameterSpec* p : tag->allParameters()) {
      expected.insert(glanceRow(*tag, *p));
      all += glanceRow(*tag, *p) + "\n";
    }
  for (const std::string& row : expected)
    EXPECT_TRUE(documented.count(row)) << "missing from the guide: " << row;
  for (const std::string& row : documented)
    EXPECT_TRUE(expected.count(row)) << "not in the vocabulary: " << row;
  if (documented != expected) std::cout << "the rows as the vocabulary has them:\n" << all;
}

TEST(Vocabulary, ListsTheTagsTheModuleRegistersWithTheirFlags) {
  std::string error;
  std::unique_ptr<ModuleLibrary> library = ModuleLibrary::open(BRINDLE_MODULE_PATH, error);
  ASSERT_NE(library, nullptr) << error;
  size_t moduleTags = 0;
  for (const TagSpec* tag : allTagSpecs()) {
    if (!tag->isModuleTag()) {
      EXPECT_EQ(library->tags().find(tag->name), nullptr) << tag->name << " is a marker, not a tag";
      continue;
    }
    ++moduleTags;
    const RegisteredTag* registered = library->tags().find(tag->name);
    ASSERT_NE(registered, nullptr) << tag->name;
    EXPECT_EQ(registered->flags, tag->registrationFlags) << tag->name;
    EXPECT_EQ(registered->hasBody(), tag->body != BodyKind::None) << tag->name;
    EXPECT_EQ(registered->rawBody(), tag->body == BodyKind::Raw) << tag->name;
  }
  EXPECT_EQ(moduleTags, library->tags().all().size());
}

TEST(Vocabulary, KeywordListsHoldTheModulesWords) {
  EXPECT_EQ(kStringModes.words.count, 22u);
  EXPECT_EQ(kRelationships.words.count, 20u);
  EXPECT_TRUE(kStringModes.words.contains("TOUPPER"));
  EXPECT_FALSE(kStringModes.words.contains("toUppr"));
  EXPECT_TRUE(kRelationships.words.contains(">="));
  EXPECT_FALSE(kRelationships.words.contains("=="));
  EXPECT_TRUE(kOrders.words.contains("Alphabetical"));
  EXPECT_TRUE(kTrueWords.contains("ON"));
  EXPECT_FALSE(kTrueWords.contains("false"));
}

TEST(Vocabulary, RolesSayWhichValuesCanReachTheAnswer) {
  struct Row {
    const char* tag;
    const char* parameter;
    ParameterRole role;
  };
  const Row rows[] = {
      {"qelInlineIf", "then", ParameterRole::Copied},   {"qelInlineIf", "else", ParameterRole::Copied},
      {"qelInlineIf", "lhs", ParameterRole::Data},      {"qelInlineString", "string", ParameterRole::Copied},
      {"qelString", "stringToAppend", ParameterRole::Copied},
      {"qelString", "replacementString", ParameterRole::Copied},
      {"qelString", "stringToReplace", ParameterRole::Data},
      {"qelString", "regularExpression", ParameterRole::Data},
      {"qelLoop", "item", ParameterRole::Copied},       {"qelLoop", "itemList", ParameterRole::Copied},
      {"qelLoop", "indexName", ParameterRole::Copied},  {"qelLoop", "first", ParameterRole::Data},
      {"QELMATH", "workPrecision", ParameterRole::Data}, {"qelIf", "nonsense", ParameterRole::Data},
  };
  for (const Row& row : rows)
    EXPECT_EQ(parameterRole(row.tag, row.parameter), row.role) << row.tag << " " << row.parameter;
  EXPECT_EQ(findTagSpec("qelString")->bodyRole, BodyRole::Copied);
  EXPECT_EQ(findTagSpec("qelMath")->bodyRole, BodyRole::Data);
}

}  // namespace
}  // namespace bw
