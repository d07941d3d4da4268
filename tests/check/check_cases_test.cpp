// The golden check cases, the example site (which must be clean), and the
// two output forms.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/commands.h"
#include "engine/page_check.h"

namespace bw {
namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

struct CheckRun {
  int status = -1;
  std::string out, err;
};

CheckRun check(std::vector<std::string> paths, bool json = false) {
  Options options;
  options.command = Options::Command::Check;
  options.paths = std::move(paths);
  options.json = json;
  std::ostringstream out, err;
  CheckRun run;
  run.status = runCheck(options, BRINDLE_MODULE_PATH, out, err);
  run.out = out.str();
  run.err = err.str();
  return run;
}

std::vector<std::string> caseNames() {
  std::vector<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(CHECK_CASES_DIR))
    if (entry.is_directory()) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class CheckCases : public ::testing::TestWithParam<std::string> {};

TEST_P(CheckCases, GiveTheExpectedDiagnostics) {
  const fs::path folder = fs::path(CHECK_CASES_DIR) / GetParam();
  CheckRun run = check({(folder / "page.html").string()});
  // Shown relative to the case's folder, as a user in that folder sees them.
  std::string out = run.out;
  const std::string prefix = folder.string() + "/";
  for (size_t at; (at = out.find(prefix)) != std::string::npos;) out.erase(at, prefix.size());
  const std::string expected = slurp(folder / "expected.txt");
  EXPECT_EQ(out, expected) << GetParam();
  EXPECT_EQ(run.status, expected.find(": error: ") != std::string::npos ? 1 : 0) << run.err;
}

INSTANTIATE_TEST_SUITE_P(Golden, CheckCases, ::testing::ValuesIn(caseNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

TEST(Check, TheExampleSiteIsClean) {
  CheckRun run = check({std::string(BRINDLE_SOURCE_DIR) + "/examples/site"});
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("0 errors, 0 warnings"), std::string::npos) << run.err;
}

TEST(Check, JsonHoldsTheSameDiagnostics) {
  const fs::path page = fs::path(CHECK_CASES_DIR) / "tag_names" / "page.html";
  CheckRun text = check({page.string()});
  CheckRun json = check({page.string()}, true);
  EXPECT_EQ(json.status, text.status);
  ASSERT_EQ(json.out.rfind("[\n  {\"file\": \"", 0), 0u) << json.out;
  EXPECT_NE(json.out.find("\"line\": 1, \"column\": 1, \"severity\": \"error\", \"message\": "
                          "\"<qelMaht> is not a tag of the module; it goes to the browser as written; "
                          "did you mean qelMath?\"}"),
            std::string::npos)
      << json.out;
  EXPECT_EQ(check({}, true).out, "[]\n");
}

TEST(Check, MessagesStayOneLineAndShort) {
  std::vector<CheckDiagnostic> found = checkPage(
      "p.html", "<qelString mode=\"to\nUpper" + std::string(200, 'x') + "\">a</qelString>", nullptr);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].message.find('\n'), std::string::npos);
  EXPECT_NE(found[0].message.find("\"to\\nUpper"), std::string::npos) << found[0].message;
  EXPECT_NE(found[0].message.find("...\""), std::string::npos) << found[0].message;
}

TEST(Check, AMissingPathIsAUsageError) {
  CheckRun run = check({"/nonexistent/page.html"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("cannot read /nonexistent/page.html"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace bw
