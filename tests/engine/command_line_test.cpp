// The command line: what parses, what is refused with which message.
#include <gtest/gtest.h>

#include <sstream>

#include "engine/command_line.h"

namespace bw {
namespace {

std::vector<std::string> split(const std::string& line) {
  std::vector<std::string> args;
  std::istringstream in(line);
  for (std::string word; in >> word;) args.push_back(word);
  return args;
}

TEST(CommandLine, Accepted) {
  Options o;
  std::string error;
  ASSERT_TRUE(parseCommandLine(split("render p.html --var a=1 --var b=x=y --param q= --region shop "
                                     "--props p.db --module m.so --max-tag-calls 5 --max-output=9 "
                                     "--max-nesting 3"),
                               o, error))
      << error;
  EXPECT_EQ(o.command, Options::Command::Render);
  EXPECT_EQ(o.file, "p.html");
  ASSERT_EQ(o.vars.size(), 2u);
  EXPECT_EQ(o.vars[1].name, "b");
  EXPECT_EQ(o.vars[1].value, "x=y");
  ASSERT_EQ(o.params.size(), 1u);
  EXPECT_EQ(o.params[0].value, "");
  EXPECT_EQ(o.region, "shop");
  EXPECT_EQ(o.props, "p.db");
  EXPECT_EQ(o.module, "m.so");
  EXPECT_EQ(o.limits.maxTagCalls, 5u);
  EXPECT_EQ(o.limits.maxOutputBytes, 9u);
  EXPECT_EQ(o.limits.maxNesting, 3u);
  // The wall-clock limit alone may be turned off, as its help says.
  Options untimed;
  ASSERT_TRUE(parseCommandLine(split("render a.html --max-render-time 0"), untimed, error)) << error;
  EXPECT_EQ(untimed.limits.maxRenderMillis, 0u);

  Options s;
  ASSERT_TRUE(parseCommandLine(split("serve --root site --listen 127.0.0.1:0"), s, error)) << error;
  EXPECT_EQ(s.root, "site");
  EXPECT_EQ(s.listen, "127.0.0.1:0");
  EXPECT_EQ(s.http.maxConnections, HttpLimits::kDefaultMaxConnections);
  EXPECT_EQ(s.http.headerSeconds, HttpLimits::kDefaultHeaderSeconds);
  EXPECT_EQ(s.staticCacheControl, "no-cache");
  EXPECT_FALSE(s.dev);  // visitors see the site as it is unless asked

  Options h;
  ASSERT_TRUE(parseCommandLine(split("serve --root site --threads 4 --max-connections 10 "
                                     "--max-connections-per-address 0 --idle-timeout 5 --header-timeout 6 "
                                     "--body-timeout 7 --access-log - --static-cache-control public,max-age=60"),
                               h, error))
      << error;
  EXPECT_EQ(h.http.threads, 4u);
  EXPECT_EQ(h.http.maxConnections, 10u);
  EXPECT_EQ(h.http.maxPerAddress, 0u);
  EXPECT_EQ(h.http.idleSeconds, 5u);
  EXPECT_EQ(h.http.headerSeconds, 6u);
  EXPECT_EQ(h.http.bodySeconds, 7u);
  EXPECT_EQ(h.accessLog, "-");
  EXPECT_EQ(h.staticCacheControl, "public,max-age=60");

  Options dev;
  ASSERT_TRUE(parseCommandLine(split("serve --dev --root site"), dev, error)) << error;
  EXPECT_TRUE(dev.dev);

  Options d;
  ASSERT_TRUE(parseCommandLine(split("render -"), d, error));
  EXPECT_EQ(d.file, "-");
  EXPECT_EQ(d.limits.maxTagCalls, 1000000u);
  EXPECT_EQ(d.limits.maxOutputBytes, 64u * 1024 * 1024);
  EXPECT_EQ(d.limits.maxNesting, 200u);

  for (const char* line : {"--version", "--help", "render --help", "serve --help"}) {
    Options h;
    EXPECT_TRUE(parseCommandLine(split(line), h, error)) << line;
  }
}

TEST(CommandLine, Refused) {
  struct Case {
    const char* line;
    const char* error;
  };
  const Case cases[] = {
      {"", "no command given"},
      {"draw p.html", "unknown command \"draw\""},
      {"render", "render needs a page file, or - for standard input"},
      {"render a.html b.html", "unexpected argument \"b.html\""},
      {"render a.html --var", "--var needs a value"},
      {"render a.html --var novalue", "--var needs NAME=VALUE, not \"novalue\""},
      {"render a.html --var =1", "--var needs NAME=VALUE, not \"=1\""},
      {"render a.html --root x", "--root is not an option of render"},
      {"render a.html --bogus", "unknown option --bogus"},
      {"render a.html --max-tag-calls 0", "--max-tag-calls needs a whole number above 0, not \"0\""},
      {"render a.html --max-output 1k", "--max-output needs a whole number above 0, not \"1k\""},
      {"render a.html --max-nesting 100001", "--max-nesting must be at most 100000"},
      {"serve", "serve needs --root DIR"},
      {"serve --root s --var a=1", "--var is not an option of serve"},
      {"render a.html --access-log -", "--access-log is not an option of render"},
      {"serve --root s --threads 0", "--threads needs a whole number from 1 to 256, not \"0\""},
      {"serve --root s --max-connections 0", "--max-connections needs a whole number from 1 to 1000000, not \"0\""},
      {"serve --root s --max-connections-per-address x",
       "--max-connections-per-address needs a whole number from 0 to 1000000, not \"x\""},
      {"serve --root s --header-timeout 0", "--header-timeout needs a whole number from 1 to 86400, not \"0\""},
      {"serve --root s --body-timeout 86401", "--body-timeout needs a whole number from 1 to 86400, not \"86401\""},
      {"render a.html --dev", "--dev is not an option of render"},
      {"serve --root s --dev=yes", "--dev takes no value"},
      {"serve --listen --root s", "--listen needs a value"},
      {"serve --root s --listen", "--listen needs a value"},
  };
  for (const Case& c : cases) {
    Options o;
    std::string error;
    EXPECT_FALSE(parseCommandLine(split(c.line), o, error)) << c.line;
    EXPECT_EQ(error, c.error) << c.line;
  }
}

}  // namespace
}  // namespace bw
