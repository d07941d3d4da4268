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
  };
  for (const Case& c : cases) {
    ProgramRun run = brindle(c.args, "", c.withModule);
    EXPECT_EQ(run.status, 2) << c.args;
    EXPECT_EQ(run.err.substr(0, c.errStart.size()), c.errStart) << c.args << "\n" << run.err;
    EXPECT_EQ(run.out, "") << c.args;
  }
}

TEST_F(Cli, HelpAndVersion) {
  for (const char* args : {"--help", "render --help", "serve --help"}) {
    ProgramRun run = brindle(args);
    EXPECT_EQ(run.status, 0) << args;
    EXPECT_EQ(run.out.substr(0, 15), "usage: brindle ") << args;
  }
  ProgramRun run = brindle("--version");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.substr(0, run.out.find('\n')), "brindle 1.0.0");
  EXPECT_NE(run.out.find("module: Fake 0.1"), std::string::npos) << run.out;
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
