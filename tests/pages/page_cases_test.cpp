// Renders every page case under tests/pages through the engine and the real
// module and compares the output and the reports with the files beside it.
//
// settings.txt, one setting a line ("#" starts a comment):
//   var NAME=VALUE          a page variable
//   param NAME=VALUE        a request field
//   region NAME             the page's region ("" when absent)
//   property REGION NAME=VALUE   a stored region property ("-" for the root region)
//   max-tag-calls N | max-output N | max-nesting N
// Setting BRINDLE_PAGES_ACTUAL=DIR writes what each case rendered under DIR,
// to look at when a case fails.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "engine/module_library.h"
#include "engine/page_renderer.h"

namespace bw {
namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct CaseSettings {
  std::map<std::string, std::string> variables;
  NamedValues fields;
  std::string region;
  std::map<std::string, std::map<std::string, std::string>> properties;
  EngineLimits limits;
};

bool splitPair(const std::string& text, std::string& name, std::string& value) {
  size_t eq = text.find('=');
  if (eq == std::string::npos) return false;
  name = text.substr(0, eq);
  value = text.substr(eq + 1);
  return true;
}

::testing::AssertionResult readSettings(const fs::path& file, CaseSettings& settings) {
  std::istringstream in(slurp(file));
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::string word = line.substr(0, line.find(' '));
    std::string rest = line.find(' ') == std::string::npos ? "" : line.substr(line.find(' ') + 1);
    std::string name, value;
    if (word == "var" && splitPair(rest, name, value)) {
      settings.variables[name] = value;
    } else if (word == "param" && splitPair(rest, name, value)) {
      settings.fields.push_back(NamedValue{name, value});
    } else if (word == "region") {
      settings.region = rest;
    } else if (word == "property" && rest.find(' ') != std::string::npos &&
               splitPair(rest.substr(rest.find(' ') + 1), name, value)) {
      std::string region = rest.substr(0, rest.find(' '));
      settings.properties[region == "-" ? "" : region][name] = value;
    } else if (word == "max-tag-calls") {
      settings.limits.maxTagCalls = std::stoull(rest);
    } else if (word == "max-output") {
      settings.limits.maxOutputBytes = std::stoull(rest);
    } else if (word == "max-nesting") {
      settings.limits.maxNesting = static_cast<uint32_t>(std::stoul(rest));
    } else {
      return ::testing::AssertionFailure() << file << ": cannot read the setting \"" << line << "\"";
    }
  }
  return ::testing::AssertionSuccess();
}

class PageCases : public ::testing::TestWithParam<std::string> {
 protected:
  static void SetUpTestSuite() {
    std::string error;
    library = ModuleLibrary::open(BRINDLE_MODULE_PATH, error).release();
    ASSERT_NE(library, nullptr) << error;
  }
  static void TearDownTestSuite() {
    delete library;
    library = nullptr;
  }
  static ModuleLibrary* library;
};
ModuleLibrary* PageCases::library = nullptr;

TEST_P(PageCases, RendersAsExpected) {
  ASSERT_NE(library, nullptr);
  const fs::path dir = fs::path(PAGE_CASES_DIR) / GetParam();
  CaseSettings settings;
  if (fs::exists(dir / "settings.txt")) {
    ASSERT_TRUE(readSettings(dir / "settings.txt", settings));
  }
  RegionProperties properties;
  properties.region = settings.region;
  properties.values = settings.properties[settings.region];

  PageContext context;
  context.fileName = "page.html";
  context.requestFields = &settings.fields;
  context.properties = &properties;
  context.variables = settings.variables;
  RenderOutcome outcome = renderPage(*library, slurp(dir / "page.html"), context, settings.limits);
  std::string reports;
  for (const PageReport& report : outcome.reports) reports += formatReport(report);

  if (const char* actual = std::getenv("BRINDLE_PAGES_ACTUAL")) {
    fs::create_directories(fs::path(actual) / GetParam());
    std::ofstream(fs::path(actual) / GetParam() / "expected.html", std::ios::binary) << outcome.output;
    if (!reports.empty()) std::ofstream(fs::path(actual) / GetParam() / "reports.txt", std::ios::binary) << reports;
  }
  EXPECT_EQ(outcome.output, slurp(dir / "expected.html"));
  EXPECT_EQ(reports, fs::exists(dir / "reports.txt") ? slurp(dir / "reports.txt") : "");
  EXPECT_EQ(outcome.stats.blocksKept, 0) << "the module kept memory blocks past its calls";
}

std::vector<std::string> caseNames() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(PAGE_CASES_DIR))
    if (entry.is_directory() && fs::exists(entry.path() / "page.html"))
      names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

INSTANTIATE_TEST_SUITE_P(Pages, PageCases, ::testing::ValuesIn(caseNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string name = info.param;
                           for (char& c : name)
                             if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

}  // namespace
}  // namespace bw
