// brindle serve --config FILE: every option as a key, the command line wins,
// and a bad file is refused with its name and line.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "engine/command_line.h"
#include "engine/config_file.h"

namespace bw {
namespace {

// A file in the test's temporary folder, removed with the object.
struct ConfigFile {
  std::string path;
  explicit ConfigFile(const std::string& text, const std::string& name = "brindle.conf")
      : path(::testing::TempDir() + name) {
    std::ofstream(path, std::ios::binary) << text;
  }
  ~ConfigFile() { std::remove(path.c_str()); }
};

TEST(ConfigFile, EveryOptionAsAKeyAndTheCommandLineWins) {
  ConfigFile file(
      "# the service's options\n"
      "\n"
      "root = /srv/site\n"
      "  listen=127.0.0.1:9000  \r\n"
      "props = /var/lib/brindle/brindle.db\n"
      "module = /usr/lib/libbrindlework.so.2\n"
      "max-tag-calls = 500\n"
      "max-output = 1000\n"
      "max-nesting = 40\n"
      "dev\n");
  Options o;
  std::string error;
  ASSERT_TRUE(parseCommandLine({"serve", "--config", file.path, "--listen", "127.0.0.1:9999",
                                "--max-nesting=7"},
                               o, error))
      << error;
  EXPECT_EQ(o.root, "/srv/site");
  EXPECT_EQ(o.listen, "127.0.0.1:9999");  // the command line wins, after the file...
  EXPECT_EQ(o.limits.maxNesting, 7u);
  EXPECT_EQ(o.props, "/var/lib/brindle/brindle.db");
  EXPECT_EQ(o.module, "/usr/lib/libbrindlework.so.2");
  EXPECT_EQ(o.limits.maxTagCalls, 500u);
  EXPECT_EQ(o.limits.maxOutputBytes, 1000u);
  EXPECT_TRUE(o.dev);  // a name alone: an option without a value

  Options before;  // ...and before it
  ASSERT_TRUE(parseCommandLine({"serve", "--listen", "127.0.0.1:1", "--config=" + file.path}, before, error))
      << error;
  EXPECT_EQ(before.listen, "127.0.0.1:1");
}

TEST(ConfigFile, RefusedWithTheFileAndLine) {
  struct Row {
    const char* text;
    const char* message;  // what the error must contain
  };
  const Row rows[] = {
      {"root = /srv\nlisten\n", "listen needs a value"},
      // Nor does it take the option after it in the file.
      {"listen\nroot = /srv\n", "listen needs a value"},
      {"root = /srv\nno-such-option = 1\n", "unknown option --no-such-option"},
      {"root = /srv\n--listen = x\n", "brindle.conf:2: expected NAME = VALUE"},
      {"root = /srv\nmax tag calls = 3\n", "brindle.conf:2: expected NAME = VALUE"},
      {"config = other.conf\n", "brindle.conf:1: a configuration file cannot name another"},
      {"root = /srv\nmax-nesting = many\n", "--max-nesting needs a whole number"},
      {"root = /srv\nvar = a=1\n", "--var is not an option of serve"},
      {"root = /srv\ndev = yes\n", "--dev takes no value"},
  };
  for (const Row& row : rows) {
    ConfigFile file(row.text);
    Options o;
    std::string error;
    EXPECT_FALSE(parseCommandLine({"serve", "--config", file.path}, o, error)) << row.text;
    EXPECT_NE(error.find(row.message), std::string::npos) << row.text << "\ngot: " << error;
  }
  Options o;
  std::string error;
  EXPECT_FALSE(parseCommandLine({"serve", "--config", "/nonexistent/brindle.conf"}, o, error));
  EXPECT_EQ(error, "cannot read the configuration file /nonexistent/brindle.conf");
  EXPECT_FALSE(parseCommandLine({"serve", "--root", "x", "--config"}, o, error));
  EXPECT_EQ(error, "--config needs a value");
  // render takes no configuration file.
  EXPECT_FALSE(parseCommandLine({"render", "p.html", "--config", "x"}, o, error));
}

TEST(ConfigFile, ExampleUnitConfigurationParses) {
  Options o;
  std::string error;
  ASSERT_TRUE(parseCommandLine({"serve", "--config", BRINDLE_SOURCE_DIR "/examples/systemd/brindle.conf"}, o, error))
      << error;
  EXPECT_EQ(o.root, "/var/lib/brindle/site");
  EXPECT_EQ(o.props, "/var/lib/brindle/brindle.db");
}

}  // namespace
}  // namespace bw
