// The server's rules for every answer, and the administrator's sessions.
// Through the real server they are tested in tests/engine/http_test.cpp and
// tests/engine/browser_test.py.
#include <gtest/gtest.h>

#include <fstream>

#include "engine/admin_sessions.h"
#include "engine/http_safety.h"
#include "engine/page_renderer.h"
#include "engine/text_util.h"

namespace bw {
namespace {

TEST(HttpSafety, PostsCountOnlyFromPagesOfTheSameSite) {
  struct Case {
    const char* origin;
    const char* referer;
    const char* host;
    bool same;
  } cases[] = {
      {"http://127.0.0.1:8080", "", "127.0.0.1:8080", true},
      {"https://Example.org", "", "example.org", true},
      {"http://127.0.0.1:8080", "http://evil.test/", "127.0.0.1:8080", true},  // Origin decides
      {"http://evil.test", "http://127.0.0.1:8080/_brindle/properties", "127.0.0.1:8080", false},
      {"http://127.0.0.1:8081", "", "127.0.0.1:8080", false},
      {"http://127.0.0.1:8080.evil.test", "", "127.0.0.1:8080", false},
      {"null", "http://127.0.0.1:8080/", "127.0.0.1:8080", false},
      {"", "http://127.0.0.1:8080/_brindle/properties?region=a", "127.0.0.1:8080", true},
      {"", "http://127.0.0.1:8080?x", "127.0.0.1:8080", true},
      {"", "http://evil.test/?http://127.0.0.1:8080/", "127.0.0.1:8080", false},
      {"", "javascript://127.0.0.1:8080/", "127.0.0.1:8080", false},
      {"", "", "127.0.0.1:8080", false},
      {"http://a", "", "", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(fromSameSite(c.origin, c.referer, c.host), c.same) << c.origin << " | " << c.referer << " | " << c.host;
}

TEST(HttpSafety, TlsIsBelievedOnlyFromAProxyOnThisMachine) {
  EXPECT_TRUE(cameOverTls("127.0.0.1", "https"));
  EXPECT_TRUE(cameOverTls("::1", "HTTPS"));
  EXPECT_TRUE(cameOverTls("::ffff:127.0.0.1", "https"));
  EXPECT_FALSE(cameOverTls("127.0.0.1", "http"));
  EXPECT_FALSE(cameOverTls("127.0.0.1", ""));
  EXPECT_FALSE(cameOverTls("192.0.2.7", "https"));
  EXPECT_FALSE(cameOverTls("::ffff:192.0.2.7", "https"));
}

TEST(HttpSafety, LogTextCannotStartALine) {
  EXPECT_EQ(escapedForLog("plain text"), "plain text");
  EXPECT_EQ(escapedForLog("a\nfake.html:1:1: error: forged\r\n"), "a\\nfake.html:1:1: error: forged\\r\\n");
  EXPECT_EQ(escapedForLog(std::string("\x1b[31m\x7f\0\\", 8)), "\\x1b[31m\\x7f\\x00\\");
  EXPECT_EQ(escapedForLog("\xC3\xA9 tab\t"), "\xC3\xA9 tab\\t");  // UTF-8 stays as it is
}

TEST(HttpSafety, AReportQuotingAVisitorsValueStaysOneReport) {
  PageReport report;
  report.file = "shop/a.html";
  report.line = 3;
  report.column = 7;
  report.tag = "qelIf";
  report.message = "The value &quot;x&#10;shop/a.html:1:1: error: forged\r&quot; is an invalid order.";
  report.hint = "Please provide only valid orders.\x1b[2J";
  EXPECT_EQ(formatReport(report),
            "shop/a.html:3:7: <qelIf>: error: The value \"x\\nshop/a.html:1:1: error: forged\\r\" is an invalid "
            "order.\n  hint: Please provide only valid orders.\\x1b[2J\n");
}

TEST(HttpSafety, AdministratorPagesForbidFramingCachingAndSniffing) {
  auto has = [](const auto& table, const std::string& name, const std::string& value) {
    for (const ResponseHeader& field : table)
      if (name == field.name) return value == field.value;
    return false;
  };
  EXPECT_TRUE(has(kEveryResponseHeaders, "X-Content-Type-Options", "nosniff"));
  EXPECT_TRUE(has(kAdminResponseHeaders, "Content-Security-Policy", "frame-ancestors 'none'"));
  EXPECT_TRUE(has(kAdminResponseHeaders, "Cache-Control", "no-store"));
  EXPECT_TRUE(has(kAdminResponseHeaders, "Referrer-Policy", "same-origin"));
}

TEST(HttpSafety, AStoreUnderTheSiteRootIsFound) {
  namespace fs = std::filesystem;
  const fs::path base = fs::temp_directory_path() / ("brindle-under-" + std::to_string(::getpid()));
  fs::remove_all(base);
  fs::create_directories(base / "site" / "shop");
  fs::create_directories(base / "state");
  fs::create_directory_symlink(base / "site", base / "state" / "link");
  EXPECT_TRUE(isUnder(base / "site" / "brindle.db", base / "site"));
  EXPECT_TRUE(isUnder(base / "site" / "shop" / "new" / "props.db", base / "site" / ""));
  EXPECT_TRUE(isUnder(base / "state" / "link" / "props.db", base / "site"));  // through a link
  EXPECT_TRUE(isUnder(base / "site" / ".." / "site" / "x.db", base / "site"));
  EXPECT_FALSE(isUnder(base / "brindle.db", base / "site"));
  EXPECT_FALSE(isUnder(base / "site2" / "x.db", base / "site"));
  EXPECT_FALSE(isUnder(base / "state" / "props.db", base / "site"));
  fs::remove_all(base);
}

TEST(AdminSessions, SessionsEndWhenIdleOrOldAndTheOldestMakeRoom) {
  using namespace std::chrono;
  AdminSessions sessions;
  const auto t0 = AdminSessions::Clock::time_point{} + hours(100);
  const std::string a = sessions.open(t0);
  EXPECT_EQ(a.size(), 32u);
  EXPECT_NE(sessions.open(t0), a);
  EXPECT_TRUE(sessions.use(a, t0 + minutes(29)));
  EXPECT_TRUE(sessions.use(a, t0 + minutes(58)));  // renewed by each use
  EXPECT_FALSE(sessions.use(a, t0 + minutes(58) + AdminSessions::kIdleLifetime + seconds(1)));
  EXPECT_FALSE(sessions.use("", t0));
  EXPECT_FALSE(sessions.use(a.substr(1), t0));

  AdminSessions busy;
  std::string first = busy.open(t0);
  auto t = t0;
  for (int i = 0; i < 12 * 3; ++i) {  // used every 20 minutes, still ended after the longest lifetime
    t += minutes(20);
    EXPECT_EQ(busy.use(first, t), t - t0 <= AdminSessions::kLongestLifetime) << i;
  }

  AdminSessions full;
  first = full.open(t0);
  for (size_t i = 1; i < AdminSessions::kMaxSessions; ++i) full.open(t0);
  EXPECT_TRUE(full.use(first, t0));
  full.open(t0);
  EXPECT_FALSE(full.use(first, t0));
  EXPECT_EQ(full.size(), AdminSessions::kMaxSessions);

  const std::string b = sessions.open(t0);
  sessions.close(b);
  EXPECT_FALSE(sessions.use(b, t0));
}

TEST(AdminSessions, TheCookieStaysWithTheAdministratorsPages) {
  EXPECT_EQ(adminSessionCookie("abc", false),
            "brindle_session=abc; Path=/_brindle; HttpOnly; SameSite=Strict; Max-Age=43200");
  EXPECT_EQ(adminSessionCookie("abc", true),
            "brindle_session=abc; Path=/_brindle; HttpOnly; SameSite=Strict; Max-Age=43200; Secure");
  EXPECT_EQ(endedAdminSessionCookie(false), "brindle_session=; Path=/_brindle; HttpOnly; SameSite=Strict; Max-Age=0");
}

}  // namespace
}  // namespace bw
