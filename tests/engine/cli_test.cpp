// The brindle program as a user runs it: exit statuses, where output and
// reports go, standard input, the stored properties.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/wait.h>

#include "engine/property_store.h"

namespace bw {
namespace {

namespace fs = std::filesystem;

struct ProgramRun {
  int status = -1;
  std::string out, err;
};

class Cli : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("brindle-cli-" + std::to_string(::getpid()));
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  std::string write(const std::string& name, const std::string& text) {
    std::ofstream(dir / name, std::ios::binary) << text;
    return (dir / name).string();
  }
  static std::string slurp(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  // Runs brindle with the arguments (shell words), the fake module unless
  // the arguments name one, and `input` on standard input.
  ProgramRun brindle(const std::string& args, const std::string& input = "", bool withModule = true) {
    write("stdin", input);
    std::string command = std::string("'") + BRINDLE_PROGRAM + "' " + args;
    if (withModule) command += std::string(" --module '") + FAKE_MODULE_PATH + "'";
    command += " < '" + (dir / "stdin").string() + "' > '" + (dir / "stdout").string() + "' 2> '" +
               (dir / "stderr").string() + "'";
    int raw = std::system(command.c_str());
    ProgramRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = slurp(dir / "stdout");
    run.err = slurp(dir / "stderr");
    return run;
  }
  fs::path dir;
};

TEST_F(Cli, RenderWritesThePageAndExitsByWhatHappened) {
  std::string ok = write("ok.html", "<echo text=\"${who}\"> ${param.q}\n");
  ProgramRun run = brindle("render " + ok + " --var who=me --param 'q=<a>'");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "me &lt;a&gt;\n");
  EXPECT_EQ(run.err, "");

  std::string bad = write("bad.html", "a\n<fail message=\"went &lt;wrong&gt;\" hint=\"h\">b\n");
  run = brindle("render " + bad);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "a\nb\n");  // the page goes on
  EXPECT_EQ(run.err, bad + ":2:1: <fail>: error: went <wrong>\n  hint: h\n");

  run = brindle("render - ", "from <echo text=\"stdin\">");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "from stdin");

  run = brindle("render - --max-tag-calls 5", "<again>x</again>");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "xxxxx");
  EXPECT_NE(run.err.find("<stdin>:1:1: limit: The page made 5 tag calls, the limit."), std::string::npos)
      << run.err;

  run = brindle("render - ", "<leak>");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "brindle: warning: the module kept 1 memory blocks past the end of its calls\n");
}

TEST_F(Cli, UsageAndFileErrorsExitWithTwo) {
  struct Case {
    std::string args;
    bool withModule;
    std::string errStart;
  };
  const Case cases[] = {
      {"", false, "brindle: no command given\nusage:"},
      {"render", true, "brindle: render needs a page file"},
      {"render --nope x.html", true, "brindle: unknown option --nope\nusage: brindle render"},
      {"render " + (dir / "missing.html").string(), true, "brindle: cannot read "},
      {"render - --module /nonexistent/lib.so", false, "brindle: cannot load the module /nonexistent/lib.so"},
      {"render - --props /nonexistent/dir/p.db", true, "brindle: cannot open the properties store"},
      {"serve --root /nonexistent/site", true, "brindle: the site root"},
      {"serve --root . --listen nowhere", true, "brindle: --listen needs HOST:PORT"},
      {"render " + dir.string(), true, "brindle: " + dir.string() + " is a folder; render takes one page"},
      {"check", true, "brindle: check needs a page or a folder\nusage: brindle check"},
      {"check --format xml x.html", true, "brindle: --format is text or json, not \"xml\""},
      {"check " + (dir / "missing.html").string(), true, "brindle: cannot read "},
      // A store a visitor could download is refused.
      {"serve --root " + dir.string() + " --listen 127.0.0.1:0 --props " + (dir / "props.db").string(), true,
       "brindle: the properties store " + (dir / "props.db").string() + " is inside the site root"},
      {"serve --root " + dir.string() + " --listen 127.0.0.1:0 --props " + (dir / ".." / "p.db").string() +
           " --access-log " + (dir / "logs" / "access.log").string(),
       true, "brindle: the access log " + (dir / "logs" / "access.log").string() + " is inside the site root"},
  };
  for (const Case& c : cases) {
    ProgramRun run = brindle(c.args, "", c.withModule);
    EXPECT_EQ(run.status, 2) << c.args;
    EXPECT_EQ(run.err.substr(0, c.errStart.size()), c.errStart) << c.args << "\n" << run.err;
    EXPECT_EQ(run.out, "") << c.args;
  }
}

TEST_F(Cli, HelpAndVersion) {
  for (const char* args : {"--help", "render --help", "serve --help", "check --help"}) {
    ProgramRun run = brindle(args);
    EXPECT_EQ(run.status, 0) << args;
    EXPECT_EQ(run.out.substr(0, 15), "usage: brindle ") << args;
  }
  ProgramRun run = brindle("--version");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.substr(0, run.out.find('\n')), "brindle 1.0.0");
  EXPECT_NE(run.out.find("module: Fake 0.1"), std::string::npos) << run.out;
}

TEST_F(Cli, APageThatCannotBeWrittenOutIsExitTwo) {
  std::string page = write("ok.html", "<echo text=\"x\">\n");
  std::string command = std::string("'") + BRINDLE_PROGRAM + "' render " + page + " --module '" + FAKE_MODULE_PATH +
                        "' > /dev/full 2> '" + (dir / "stderr").string() + "'";
  int raw = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(raw));
  EXPECT_EQ(WEXITSTATUS(raw), 2);
  EXPECT_EQ(slurp(dir / "stderr"), "brindle: cannot write the page to standard output\n");
}

TEST_F(Cli, CheckExitsByWhatItFinds) {
  std::string clean = write("clean.html", "<qelMath>1+1</qelMath>\n");
  std::string warned = write("warned.html", "<qelIf lhs=\"a\" relationship=\"=\" rhs=\"a\" caseSensitive=\"maybe\">x</qelIf>\n");
  std::string wrong = write("wrong.html", "\n  <qelMaht>1+1</qelMaht>\n");
  ProgramRun run = brindle("check " + clean);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "brindle: checked 1 page: 0 errors, 0 warnings\n");
  run = brindle("check " + warned);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.find(warned + ":1:41: warning: "), 0u) << run.out;
  run = brindle("check " + wrong + " " + clean);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out.find(wrong + ":2:3: error: <qelMaht> is not a tag of the module"), 0u) << run.out;
  EXPECT_EQ(run.err, "brindle: checked 2 pages: 2 errors, 0 warnings\n");
  run = brindle("check --format json " + wrong);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("\"line\": 2, \"column\": 3, \"severity\": \"error\""), std::string::npos) << run.out;
  // A folder: its pages, in name order.
  run = brindle("check " + dir.string());
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("checked 3 pages"), std::string::npos) << run.err;
  EXPECT_LT(run.out.find("warned.html"), run.out.find("wrong.html")) << run.out;
}

// The README's first render command, run as written from the source folder
// with the real module, shows what the README says it does.
TEST_F(Cli, TheReadmesRenderExampleGreetsAda) {
  std::ifstream readme(std::string(BRINDLE_SOURCE_DIR) + "/README.md");
  std::string example;
  for (std::string line; std::getline(readme, line);)
    if (example.empty() && line.find("brindle render examples/site/index.html") != std::string::npos) example = line;
  ASSERT_NE(example, "") << "README.md no longer shows the demo render";
  const std::string args = example.substr(example.find("render "));
  std::string command = std::string("cd '") + BRINDLE_SOURCE_DIR + "' && '" + BRINDLE_PROGRAM + "' " + args +
                        " --module '" + BRINDLE_MODULE_PATH + "' > '" + (dir / "stdout").string() + "' 2> '" +
                        (dir / "stderr").string() + "'";
  int raw = std::system(command.c_str());
  EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << slurp(dir / "stderr");
  EXPECT_NE(slurp(dir / "stdout").find("Welcome, Ada!"), std::string::npos) << args << "\n" << slurp(dir / "stdout");
}

TEST_F(Cli, PropertiesComeFromTheStoreNamed) {
  std::string db = (dir / "p.db").string();
  {
    std::string error;
    auto store = PropertyStore::open(db, error);
    ASSERT_TRUE(store) << error;
    RegionProperties shop;
    shop.region = "shop";
    shop.changes.emplace_back("flag", std::string("no"));
    ASSERT_EQ(store->commit(shop, error), StoreStatus::Ok) << error;
  }
  std::string page = write("p.html", "<property name=\"flag\">");
  EXPECT_EQ(brindle("render " + page + " --props " + db + " --region shop").out, "no");
  EXPECT_EQ(brindle("render " + page + " --props " + db).out, "(absent)");
  EXPECT_EQ(brindle("render " + page + " --region shop").out, "(absent)");  // in memory
}

}  // namespace
}  // namespace bw
