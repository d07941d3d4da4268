// The demo site renders without a single report, keeps no module memory, and
// its pages compute what a reader of them would check by hand.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "pages/page_case_support.h"

namespace bw {
namespace {

namespace fs = std::filesystem;

const fs::path kSite = fs::path(BRINDLE_SOURCE_DIR) / "examples" / "site";

class DemoSite : public WithModuleLibrary<::testing::Test> {
 protected:
  static CaseResult render(const std::string& page, const CaseSettings& settings = CaseSettings()) {
    std::ifstream in(kSite / page, std::ios::binary);
    return renderCase(*library, std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()),
                      settings);
  }
};

TEST_F(DemoSite, EveryPageRendersWithoutReports) {
  ASSERT_NE(library, nullptr);
  size_t pages = 0;
  for (const auto& entry : fs::recursive_directory_iterator(kSite)) {
    if (entry.path().extension() != ".html") continue;
    ++pages;
    CaseResult result = render(entry.path().lexically_relative(kSite).string());
    EXPECT_EQ(result.reports, "") << entry.path();
    EXPECT_EQ(result.blocksKept, 0) << entry.path();
    EXPECT_EQ(result.output.find("<qel"), std::string::npos) << entry.path() << " left a tag unprocessed";
  }
  EXPECT_GE(pages, 6u);
}

TEST_F(DemoSite, PagesComputeWhatTheySay) {
  ASSERT_NE(library, nullptr);
  struct Check {
    const char* page;
    const char* settings;
    const char* expected;
  };
  const Check checks[] = {
      {"shop/invoice.html", "", "Tag wrench</td><td>1</td><td>24.90</td><td>24.90</td>"},
      {"shop/invoice.html", "", "<th colspan=\"3\">Subtotal</th><td>60.07</td>"},
      {"shop/invoice.html", "", "<strong>75.09</strong>"},
      {"shop/invoice.html", "param number=42\n", "<h1>Invoice no. 42</h1>"},
      // A visitor's number is text, not markup.
      {"shop/invoice.html", "param number=<img src=x onerror=alert(1)>\n",
       "<h1>Invoice no. &lt;img src=x onerror=alert(1)&gt;</h1>"},
      {"shop/table.html", "", "<tr><th>6</th><td>6</td><td>12</td><td>18</td><td>24</td><td>30</td><td>36</td></tr>"},
      {"forms/echo.html", "param name=<b>Ann</b>\n", "<tr><th>Upper case</th><td>&lt;B&gt;ANN&lt;/B&gt;</td></tr>"},
      {"forms/echo.html", "param name=a b\n", "?name=a%20b\""},
      {"dates/date.html", "param date=1999-7-4\n", "day 4 of\nJuly\nin the year 1999,\nbefore this century."},
      {"dates/date.html", "param date=someday\n", "That is not a date written year-month-day."},
      {"index.html", "", "<p>1 is odd. 2 is even. 3 is odd. 4 is even. 5 is odd. 6 is even. </p>"},
      {"strings.html", "", "<tr><td>insert</td><td>555-1234</td></tr>"},
  };
  for (const Check& check : checks) {
    CaseSettings settings;
    ASSERT_TRUE(parseSettings(check.settings, settings));
    CaseResult result = render(check.page, settings);
    EXPECT_NE(result.output.find(check.expected), std::string::npos)
        << check.page << " should hold " << check.expected << "\n" << result.output;
  }
}

}  // namespace
}  // namespace bw
