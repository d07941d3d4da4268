// Renders every page case under tests/pages through the engine and the real
// module and compares the output and the reports with the files beside it:
// page.html, expected.html, reports.txt when the page reports anything, and
// settings.txt when it needs variables, fields, a region or limits (see
// page_case_support.h).  Setting BRINDLE_PAGES_ACTUAL=DIR writes what each
// case rendered under DIR, to look at when a case fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "pages/page_case_support.h"

namespace bw {
namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class PageCases : public WithModuleLibrary<::testing::TestWithParam<std::string>> {};

TEST_P(PageCases, RendersAsExpected) {
  ASSERT_NE(library, nullptr);
  const fs::path dir = fs::path(PAGE_CASES_DIR) / GetParam();
  CaseSettings settings;
  if (fs::exists(dir / "settings.txt")) {
    ASSERT_TRUE(parseSettings(slurp(dir / "settings.txt"), settings));
  }
  CaseResult result = renderCase(*library, slurp(dir / "page.html"), settings);
  if (const char* actual = std::getenv("BRINDLE_PAGES_ACTUAL")) {
    fs::create_directories(fs::path(actual) / GetParam());
    std::ofstream(fs::path(actual) / GetParam() / "expected.html", std::ios::binary) << result.output;
    if (!result.reports.empty())
      std::ofstream(fs::path(actual) / GetParam() / "reports.txt", std::ios::binary) << result.reports;
  }
  EXPECT_EQ(result.output, slurp(dir / "expected.html"));
  EXPECT_EQ(result.reports, fs::exists(dir / "reports.txt") ? slurp(dir / "reports.txt") : "");
  EXPECT_EQ(result.blocksKept, 0) << "the module kept memory blocks past its calls";
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
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

}  // namespace
}  // namespace bw
