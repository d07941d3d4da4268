// brindle serve over loopback, through the real HTTP layer: static files and
// pages, HEAD, conditional requests, ranges, caching headers, the access
// log, the administrator's page with its token and form-token refusals,
// paths that try to leave the site, and the bounds a client pushes against
// (deadlines, sizes, connections per address).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "engine/access_log.h"
#include "engine/http_dates.h"
#include "engine/http_server.h"
#include "engine/listen_socket.h"
#include "engine/site_server.h"
#include "engine/static_files.h"
#include "tests/engine/http_client.h"

namespace bw {
namespace {

namespace fs = std::filesystem;
using test::get;
using test::HttpReply;
using test::postForm;

constexpr const char* kToken = "test-admin-token";
// The Origin a browser sends with a form of this site (the client says Host: 127.0.0.1).
constexpr const char* kSameSite = "Origin: http://127.0.0.1";

class Http : public ::testing::Test {
 protected:
  void SetUp() override {
    base = fs::temp_directory_path() / ("brindle-http-" + std::to_string(::getpid()));
    fs::remove_all(base);
    fs::create_directories(base / "site" / "shop");
    fs::create_directories(base / "site" / "a b");
    put("site/index.html", "root <echo text=\"${param.q}\"> <property name=\"flag\">");
    put("site/shop/index.html", "shop <property name=\"flag\">");
    put("site/a b/index.html", "spaced");
    put("site/style.css", "body{}");
    put("site/three.txt", "abc");
    put("secret.txt", "secret");
    std::string error;
    library = ModuleLibrary::open(FAKE_MODULE_PATH, error);
    ASSERT_TRUE(library) << error;
    store = PropertyStore::open((base / "p.db").string(), error);
    ASSERT_TRUE(store) << error;
    properties = PropertyCache::start(*store, errors, error);
    ASSERT_TRUE(properties) << error;
  }
  void TearDown() override {
    if (server) server->stop();
    fs::remove_all(base);
  }

  // Starts the server; every test calls it, some with tighter limits.
  void start(HttpLimits limits = HttpLimits(), const std::string& accessLogPath = "") {
    SiteConfig config;
    config.root = base / "site";
    config.adminToken = kToken;
    config.staticCacheControl = "public, max-age=60";
    site = std::make_unique<SiteServer>(*library, *properties, config, errors);
    site->addRoute("/_test/", kMethodGet,
                   [](const HttpRequest& q, HttpResponse& r) { r.body = "route " + q.path; });
    std::string error;
    if (!accessLogPath.empty()) {
      ASSERT_TRUE(accessLog.open(accessLogPath, error)) << error;
    }
    FileDescriptor socket = openListenSocket("127.0.0.1", 0, port, error);
    ASSERT_TRUE(socket.valid()) << error;
    server = std::make_unique<HttpServer>(
        limits, [this](const HttpRequest& q, HttpResponse& r) { site->answer(q, r); },
        accessLogPath.empty() ? nullptr : &accessLog, errors);
    ASSERT_TRUE(server->start(std::move(socket), error)) << error;
  }

  void put(const std::string& name, const std::string& text) { std::ofstream(base / name) << text; }

  std::string formToken(const std::string& html) {
    const std::string marker = "name=\"_csrf\" value=\"";
    size_t at = html.find(marker);
    if (at == std::string::npos) return "";
    at += marker.size();
    return html.substr(at, html.find('"', at) - at);
  }

  fs::path base;
  std::unique_ptr<ModuleLibrary> library;
  std::unique_ptr<PropertyStore> store;
  std::ostringstream log;
  SharedLog errors{log};
  std::unique_ptr<PropertyCache> properties;  // logs to `log`
  AccessLog accessLog;
  std::unique_ptr<SiteServer> site;
  std::unique_ptr<HttpServer> server;
  int port = 0;
};

TEST_F(Http, StaticFilesAndPages) {
  start();
  HttpReply css = get(port, "/style.css");
  EXPECT_EQ(css.status, 200);
  EXPECT_EQ(css.body, "body{}");
  EXPECT_EQ(css.header("Content-Type"), "text/css; charset=utf-8");
  EXPECT_EQ(css.header("Cache-Control"), "public, max-age=60");

  HttpReply page = get(port, "/?q=%3Cb%3E");
  EXPECT_EQ(page.status, 200);
  EXPECT_EQ(page.body, "root <b> (absent)");  // exact in a parameter value
  EXPECT_EQ(page.header("Content-Type"), "text/html; charset=utf-8");
  EXPECT_EQ(page.header("Cache-Control"), "no-store");
  EXPECT_EQ(page.header("X-Brindle-Reports"), "0");

  EXPECT_EQ(postForm(port, "/index.html", "q=posted+value").body, "root posted value (absent)");

  HttpReply redirect = get(port, "/shop");
  EXPECT_EQ(redirect.status, 301);
  EXPECT_EQ(redirect.header("Location"), "/shop/");
  EXPECT_EQ(get(port, "/a%20b").header("Location"), "/a%20b/");
  EXPECT_EQ(get(port, "/a%20b/").body, "spaced");

  EXPECT_EQ(get(port, "/nope.html").status, 404);
  for (const HttpReply& reply : {css, page, redirect}) EXPECT_TRUE(reply.has("Date"));
}

TEST_F(Http, RoutesAnswerTheirMethodsOnly) {
  start();
  EXPECT_EQ(get(port, "/_test/x").body, "route /_test/x");
  HttpReply post = postForm(port, "/_test/x", "a=1");
  EXPECT_EQ(post.status, 405);
  EXPECT_EQ(post.header("Allow"), "GET, HEAD");
  for (const char* method : {"DELETE", "PUT", "BREW", "get"}) {
    HttpReply reply = test::exchange(port, method, "/index.html");
    EXPECT_EQ(reply.status, 405) << method;
    EXPECT_EQ(reply.header("Allow"), "GET, HEAD, POST") << method;
  }
  HttpReply staticPost = postForm(port, "/style.css", "a=1");
  EXPECT_EQ(staticPost.status, 405);
  EXPECT_EQ(staticPost.header("Allow"), "GET, HEAD");
}

TEST_F(Http, HeadAnswersAsGetWithoutTheBody) {
  start();
  for (const char* target : {"/style.css", "/?q=x", "/missing.html", "/shop"}) {
    HttpReply full = get(port, target);
    HttpReply head = test::exchange(port, "HEAD", target);
    EXPECT_EQ(head.status, full.status) << target;
    EXPECT_EQ(head.header("Content-Length"), full.header("Content-Length")) << target;
    EXPECT_EQ(head.header("Content-Type"), full.header("Content-Type")) << target;
    EXPECT_EQ(head.body, "") << target;
  }
}

TEST_F(Http, ConditionalRequestsAnswer304WhileTheFileIsUnchanged) {
  start();
  HttpReply first = get(port, "/three.txt");
  const std::string etag = first.header("ETag"), modified = first.header("Last-Modified");
  ASSERT_FALSE(etag.empty());
  ASSERT_FALSE(modified.empty());
  std::time_t parsed = 0;
  EXPECT_TRUE(parseHttpDate(modified, parsed));
  struct Case {
    std::vector<std::string> fields;
    int status;
  };
  const Case cases[] = {
      {{"If-None-Match: " + etag}, 304},
      {{"If-None-Match: W/" + etag}, 304},  // weak comparison
      {{"If-None-Match: \"other\", " + etag}, 304},
      {{"If-None-Match: *"}, 304},
      {{"If-None-Match: \"other\""}, 200},
      {{"If-Modified-Since: " + modified}, 304},
      {{"If-Modified-Since: " + formatHttpDate(parsed + 3600)}, 304},
      {{"If-Modified-Since: " + formatHttpDate(parsed - 1)}, 200},
      {{"If-Modified-Since: not a date"}, 200},
      // If-None-Match decides alone when both are sent.
      {{"If-None-Match: \"other\"", "If-Modified-Since: " + modified}, 200},
  };
  for (const Case& c : cases) {
    HttpReply reply = get(port, "/three.txt", c.fields);
    EXPECT_EQ(reply.status, c.status) << c.fields[0];
    EXPECT_EQ(reply.body, c.status == 304 ? "" : "abc") << c.fields[0];
    if (c.status == 304) {
      EXPECT_EQ(reply.header("ETag"), etag);
    }
  }
  // Pages carry no validators; a condition does not make them 304.
  EXPECT_EQ(get(port, "/", {"If-None-Match: *"}).status, 200);

  put("site/three.txt", "abcd");
  HttpReply changed = get(port, "/three.txt", {"If-None-Match: " + etag});
  EXPECT_EQ(changed.status, 200);
  EXPECT_EQ(changed.body, "abcd");
  EXPECT_NE(changed.header("ETag"), etag);
}

TEST_F(Http, RangesOfAThreeByteFile) {
  start();
  const std::string etag = get(port, "/three.txt").header("ETag");
  struct Case {
    std::string range;
    int status;
    std::string contentRange, body;
  };
  const Case cases[] = {
      {"bytes=0-3", 206, "bytes 0-2/3", "abc"},  // the end is cut to the file
      {"bytes=0-0", 206, "bytes 0-0/3", "a"},
      {"bytes=1-", 206, "bytes 1-2/3", "bc"},
      {"bytes=-1", 206, "bytes 2-2/3", "c"},
      {"bytes=-10", 206, "bytes 0-2/3", "abc"},
      {"bytes=3-", 416, "bytes */3", ""},
      {"bytes=-0", 416, "bytes */3", ""},
      {"bytes=0-0,2-2", 200, "", "abc"},  // several ranges: the whole file
      {"bytes=2-1", 200, "", "abc"},
      {"items=0-1", 200, "", "abc"},
      {"bytes=x-1", 200, "", "abc"},
  };
  for (const Case& c : cases) {
    HttpReply reply = get(port, "/three.txt", {"Range: " + c.range});
    EXPECT_EQ(reply.status, c.status) << c.range;
    EXPECT_EQ(reply.header("Content-Range"), c.contentRange) << c.range;
    if (c.status != 416) {
      EXPECT_EQ(reply.body, c.body) << c.range;
    }
  }
  EXPECT_EQ(get(port, "/three.txt", {"Range: bytes=1-1", "If-Range: " + etag}).body, "b");
  EXPECT_EQ(get(port, "/three.txt", {"Range: bytes=1-1", "If-Range: \"older\""}).body, "abc");
  // Pages are whole.
  EXPECT_EQ(get(port, "/shop/", {"Range: bytes=0-1"}).status, 200);
}

TEST_F(Http, AccessLogLinesCannotBeForged) {
  const fs::path logFile = base / "access.log";
  start(HttpLimits(), logFile.string());
  get(port, "/three.txt", {"Referer: http://example.test/a", "User-Agent: probe/1"});
  // A User-Agent that tries to end its field and its line and write a second entry.
  get(port, "/style.css?x=\"", {"User-Agent: x\" 200 1\r\nX-Forged: 1\x01\\"});
  get(port, "/forged\" 200 5 \"-\" \"-\"\n10.0.0.1 - - [01/Jan/2026:00:00:00 +0000] \"GET /");
  server->stop();
  std::ifstream in(logFile);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_NE(lines[0].find("\"GET /three.txt HTTP/1.1\" 200 3 \"http://example.test/a\" \"probe/1\""),
            std::string::npos)
      << lines[0];
  EXPECT_EQ(lines[0].rfind("127.0.0.1 - - [", 0), 0u) << lines[0];
  EXPECT_NE(lines[1].find("\"GET /style.css?x=\\\" HTTP/1.1\" 200 6 \"-\" \"x\\\" 200 1\""), std::string::npos)
      << lines[1];
  for (const std::string& line : lines) {
    EXPECT_EQ(line.rfind("127.0.0.1 - - [", 0), 0u) << line;
    EXPECT_EQ(line.find("10.0.0.1 - -"), std::string::npos) << line;
  }
}

TEST(AccessLogFormat, EscapesEveryByteAClientChose) {
  struct Case {
    std::string in, out;
  };
  const Case cases[] = {
      {"plain text/1.0", "plain text/1.0"},
      {"a\"b", "a\\\"b"},
      {"a\\b", "a\\\\b"},
      {"line\nnext\r", "line\\x0anext\\x0d"},
      {std::string("nul\0x", 5), "nul\\x00x"},
      {"\x7f\xc3\xa9", "\\x7f\\xc3\\xa9"},
  };
  for (const Case& c : cases) EXPECT_EQ(escapeLogField(c.in), c.out) << c.out;
  AccessEntry entry;
  entry.remoteAddress = "::1";
  entry.when = 0;
  entry.method = "GET";
  entry.target = "/";
  entry.version = "HTTP/1.0";
  entry.status = 304;
  std::string line = formatAccessLine(entry);
  EXPECT_NE(line.find("] \"GET / HTTP/1.0\" 304 - \"-\" \"-\"\n"), std::string::npos) << line;
  EXPECT_EQ(line.rfind("::1 - - [", 0), 0u);
}

TEST(HttpDates, ReadsTheThreeFormsAndWritesTheFirst) {
  std::time_t when = 0;
  for (const char* text : {"Sun, 06 Nov 1994 08:49:37 GMT", "Sunday, 06-Nov-94 08:49:37 GMT",
                           "Sun Nov  6 08:49:37 1994"}) {
    ASSERT_TRUE(parseHttpDate(text, when)) << text;
    EXPECT_EQ(when, 784111777) << text;
  }
  EXPECT_EQ(formatHttpDate(784111777), "Sun, 06 Nov 1994 08:49:37 GMT");
  for (const char* text : {"", "yesterday", "Sun, 06 Nov 1994 08:49:37 UTC", "Sun, 32 Nov 1994 08:49:37 GMT",
                           "Sun, 06 Nov 1994 25:49:37 GMT"})
    EXPECT_FALSE(parseHttpDate(text, when)) << text;
}

TEST(ListenSocket, ABusyAddressIsAnError) {
  int port = 0;
  std::string error;
  FileDescriptor first = openListenSocket("127.0.0.1", 0, port, error);
  ASSERT_TRUE(first.valid()) << error;
  int again = 0;
  FileDescriptor second = openListenSocket("127.0.0.1", port, again, error);
  EXPECT_FALSE(second.valid());
  EXPECT_EQ(error, "cannot listen on 127.0.0.1:" + std::to_string(port) + ": address already in use");
  std::string host;
  int parsed = 0;
  EXPECT_TRUE(splitListenAddress("[::1]:80", host, parsed));
  EXPECT_EQ(host, "::1");
  EXPECT_FALSE(splitListenAddress("localhost", host, parsed));
  EXPECT_FALSE(splitListenAddress("localhost:70000", host, parsed));
}

TEST_F(Http, SlowHeadersAndBodiesAreCutAtTheirDeadlines) {
  HttpLimits limits;
  limits.headerSeconds = 1;
  limits.bodySeconds = 1;
  start(limits);
  struct Case {
    std::string head;  // sent at once
    std::string trickle;  // then one byte every 200 ms
    const char* bound;
  };
  const Case cases[] = {
      {"", "GET /index.html HTTP/1.1\r\nHost: x\r\n", "--header-timeout"},
      {"GET /index.html HTTP/1.1\r\n", "X-Slow: aaaaaaaaaaaaaaaaaaaa", "--header-timeout"},
      {"POST /index.html HTTP/1.1\r\nHost: x\r\nContent-Length: 40\r\n\r\n", "q=aaaaaaaaaaaaaaaaaaaaa", "--body-timeout"},
  };
  for (const Case& c : cases) {
    int fd = test::connectTo(port);
    ASSERT_GE(fd, 0);
    test::sendAll(fd, c.head);
    auto began = std::chrono::steady_clock::now();
    bool closed = false;
    for (char byte : c.trickle) {
      if (::send(fd, &byte, 1, MSG_NOSIGNAL) != 1) break;
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 200) > 0) {
        char sink[256];
        if (::recv(fd, sink, sizeof sink, 0) <= 0) {
          closed = true;
          break;
        }
      }
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    ::close(fd);
    EXPECT_TRUE(closed) << c.bound;
    EXPECT_LT(seconds, 2.5) << c.bound;
    EXPECT_NE(log.str().find(c.bound), std::string::npos) << seconds << " " << log.str();
  }
  // The server still answers.
  EXPECT_EQ(get(port, "/shop/").body, "shop (absent)");
}

TEST_F(Http, ASilentConnectionIsClosedAfterTheIdleTimeout) {
  HttpLimits limits;
  limits.idleSeconds = 1;
  limits.headerSeconds = 30;
  start(limits);
  int fd = test::connectTo(port);
  ASSERT_GE(fd, 0);
  auto began = std::chrono::steady_clock::now();
  test::readUntilClosed(fd, std::chrono::seconds(5));
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  ::close(fd);
  EXPECT_LT(seconds, 3.0);
}

TEST_F(Http, RequestSizesAreBounded) {
  start();
  HttpReply large = test::exchange(port, "POST", "/index.html",
                                   {"Content-Length: " + std::to_string(HttpLimits::kMaxRequestBody + 1)});
  EXPECT_EQ(large.status, 413);
  EXPECT_NE(large.body.find("at most 1048576 bytes"), std::string::npos);
  std::vector<std::string> many;
  for (size_t i = 0; i <= HttpLimits::kMaxHeaderFields; ++i) many.push_back("X-F" + std::to_string(i) + ": v");
  HttpReply fields = get(port, "/", many);
  EXPECT_EQ(fields.status, 431);
  EXPECT_NE(fields.body.find("more than 100 header fields"), std::string::npos);
  HttpReply longLine = get(port, "/" + std::string(HttpLimits::kConnectionMemory, 'a'));
  EXPECT_TRUE(longLine.status == 414 || longLine.status == 431 || longLine.status == 0) << longLine.status;
  // A body just under the bound is read whole.
  std::string body = "q=" + std::string(HttpLimits::kMaxRequestBody - 2, 'z');
  HttpReply fits = postForm(port, "/index.html", body);
  EXPECT_EQ(fits.status, 200);
  EXPECT_EQ(fits.body.size(), std::string("root  (absent)").size() + body.size() - 2);
}

TEST_F(Http, ConnectionsPerAddressAreLimited) {
  HttpLimits limits;
  limits.maxPerAddress = 2;
  start(limits);
  int a = test::connectTo(port), b = test::connectTo(port);
  ASSERT_GE(a, 0);
  ASSERT_GE(b, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  // A third from the same address is closed unanswered; another address is served.
  EXPECT_EQ(get(port, "/shop/").status, 0);
  EXPECT_EQ(test::exchange(port, "GET", "/shop/", {}, "", "127.0.0.2").body, "shop (absent)");
  ::close(a);
  ::close(b);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(get(port, "/shop/").status, 200);
}

TEST_F(Http, PagesRenderOnSeveralThreadsAtOnce) {
  HttpLimits limits;
  limits.threads = 4;
  start(limits);
  std::atomic<int> wrong{0};
  std::vector<std::thread> clients;
  for (int t = 0; t < 8; ++t)
    clients.emplace_back([&, t] {
      for (int i = 0; i < 50; ++i) {
        std::string q = std::to_string(t) + "-" + std::to_string(i);
        if (get(port, "/?q=" + q).body != "root " + q + " (absent)") ++wrong;
      }
    });
  for (std::thread& c : clients) c.join();
  EXPECT_EQ(wrong.load(), 0);
}

TEST_F(Http, AnEditedPageIsServedAsEdited) {
  start();
  const char* const versions[] = {
      "first <echo text=\"a\">",
      "second, longer <echo text=\"b\">",
      "third <echo text=\"c\">.",  // as long as the second
  };
  const char* const outputs[] = {"first a", "second, longer b", "third c."};
  for (size_t i = 0; i < 3; ++i) {
    put("site/edited.html", versions[i]);
    // The cache is checked on every request, not only the first after a change.
    for (int twice = 0; twice < 2; ++twice) EXPECT_EQ(get(port, "/edited.html").body, outputs[i]) << i;
  }
  fs::remove(base / "site" / "edited.html");
  EXPECT_EQ(get(port, "/edited.html").status, 404);
}

TEST(PageCache, KeepsAtMostItsCapacityAndRecompilesChangedFiles) {
  const fs::path dir = fs::temp_directory_path() / ("brindle-cache-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  TagTable tags;
  tags.add("echo", 0x20);
  CompiledPageCache cache(tags, 2);
  auto write = [&](const char* name, const std::string& text) { std::ofstream(dir / name) << text; };
  write("a.html", "a");
  write("b.html", "b");
  write("c.html", "c");
  EXPECT_EQ(cache.page(dir / "a.html")->text(), "a");
  EXPECT_EQ(cache.page(dir / "b.html")->text(), "b");
  EXPECT_EQ(cache.page(dir / "a.html")->text(), "a");  // a is now the newer
  EXPECT_EQ(cache.compilations(), 2u);
  EXPECT_EQ(cache.page(dir / "c.html")->text(), "c");  // b makes room
  EXPECT_EQ(cache.size(), 2u);
  EXPECT_EQ(cache.page(dir / "a.html")->text(), "a");
  EXPECT_EQ(cache.compilations(), 3u);
  EXPECT_EQ(cache.page(dir / "b.html")->text(), "b");
  EXPECT_EQ(cache.compilations(), 4u);
  write("b.html", "bb");
  EXPECT_EQ(cache.page(dir / "b.html")->text(), "bb");
  EXPECT_EQ(cache.compilations(), 5u);
  EXPECT_EQ(cache.page(dir / "missing.html"), nullptr);
  fs::remove_all(dir);
}

TEST_F(Http, PathsOutsideTheSiteAreRefused) {
  start();
  for (const char* path : {"/../secret.txt", "/shop/../../secret.txt", "/%2e%2e/secret.txt",
                           "/shop/%2E%2E/%2e%2e/secret.txt", "/..%5csecret.txt"}) {
    HttpReply reply = get(port, path);
    EXPECT_EQ(reply.status, 403) << path;
    EXPECT_EQ(reply.body.find("secret\n"), std::string::npos);
  }
}

TEST_F(Http, AdministratorTokenIsRequired) {
  start();
  for (const char* path : {"/_brindle/properties?region=shop", "/_brindle/properties?region=shop&token=wrong"}) {
    EXPECT_EQ(get(port, path).status, 403) << path;
    EXPECT_EQ(postForm(port, path, "flag=no", {kSameSite}).status, 403) << path;
  }
  RegionProperties shop;
  std::string error;
  ASSERT_EQ(store->load("shop", shop, error), StoreStatus::Ok);
  EXPECT_TRUE(shop.values.empty());
}

// The session cookie a sign-in sets, as a Cookie field, or empty.
std::string signIn(int port, const std::string& region, std::vector<std::string> fields = {kSameSite}) {
  HttpReply reply = postForm(port, "/_brindle/properties?region=" + region,
                             std::string("_signin=1&token=") + kToken, std::move(fields));
  const std::string cookie = reply.header("Set-Cookie");
  if (reply.status != 303 || cookie.rfind("brindle_session=", 0) != 0) return {};
  return "Cookie: " + cookie.substr(0, cookie.find(';'));
}

TEST_F(Http, AdministratorSignsInWithTheTokenThatNeverTravelsInAUrl) {
  start();
  HttpReply asked = get(port, "/_brindle/properties?region=shop");
  EXPECT_EQ(asked.status, 403);
  EXPECT_NE(asked.body.find("<input type=\"password\" name=\"token\" id=\"token\""), std::string::npos) << asked.body;
  EXPECT_EQ(asked.header("Content-Security-Policy"), "frame-ancestors 'none'");
  EXPECT_EQ(asked.header("X-Frame-Options"), "DENY");
  EXPECT_EQ(asked.header("Cache-Control"), "no-store");
  EXPECT_EQ(asked.header("Referrer-Policy"), "same-origin");
  EXPECT_EQ(asked.header("X-Content-Type-Options"), "nosniff");
  // The token in the URL opens nothing and sets nothing.
  HttpReply inUrl = get(port, std::string("/_brindle/properties?region=shop&token=") + kToken);
  EXPECT_EQ(inUrl.status, 403);
  EXPECT_FALSE(inUrl.has("Set-Cookie"));
  // Neither does a wrong token, nor the right one from another site's page.
  const std::string signInBody = std::string("_signin=1&token=") + kToken;
  HttpReply wrong = postForm(port, "/_brindle/properties?region=shop", "_signin=1&token=wrong", {kSameSite});
  EXPECT_EQ(wrong.status, 403);
  EXPECT_NE(wrong.body.find("The administrator token is wrong."), std::string::npos);
  EXPECT_FALSE(wrong.has("Set-Cookie"));
  for (const char* from : {"Origin: http://evil.test", "Referer: http://evil.test/page", "Origin: null"})
    EXPECT_EQ(postForm(port, "/_brindle/properties?region=shop", signInBody, {from}).status, 403) << from;
  EXPECT_EQ(postForm(port, "/_brindle/properties?region=shop", signInBody).status, 403);  // neither header

  HttpReply signedIn = postForm(port, "/_brindle/properties?region=a%20b", signInBody, {kSameSite});
  EXPECT_EQ(signedIn.status, 303);
  EXPECT_EQ(signedIn.header("Location"), "/_brindle/properties?region=a%20b");
  const std::string cookie = signedIn.header("Set-Cookie");
  EXPECT_EQ(cookie.find(kToken), std::string::npos) << cookie;
  EXPECT_NE(cookie.find("; Path=/_brindle; HttpOnly; SameSite=Strict"), std::string::npos) << cookie;
  EXPECT_EQ(cookie.find("Secure"), std::string::npos);
  const std::string session = signIn(port, "shop");
  ASSERT_FALSE(session.empty());
  HttpReply page = get(port, "/_brindle/properties?region=shop", {session});
  EXPECT_EQ(page.status, 200);
  EXPECT_NE(page.body.find("<p>flag=(absent)</p>"), std::string::npos) << page.body;
  EXPECT_EQ(get(port, "/_brindle/properties?region=shop", {"Cookie: brindle_session=" + std::string(32, 'a')}).status,
            403);
  // Over TLS through a proxy on this machine, the cookie is kept to TLS.
  const std::string proxied = postForm(port, "/_brindle/properties?region=", signInBody,
                                       {kSameSite, "X-Forwarded-Proto: https"})
                                  .header("Set-Cookie");
  EXPECT_NE(proxied.find("; Secure"), std::string::npos) << proxied;
}

TEST_F(Http, PropertiesAreStoredOnlyWithAValidFormTokenFromThisSite) {
  start();
  const std::string path = "/_brindle/properties?region=shop";
  const std::string session = signIn(port, "shop");
  ASSERT_FALSE(session.empty());
  HttpReply form = get(port, path, {session});
  ASSERT_EQ(form.status, 200);
  EXPECT_NE(form.body.find("<p>flag=(absent)</p>"), std::string::npos) << form.body;
  EXPECT_NE(form.body.find("<a href=\"/_brindle/properties?region=shop\">shop</a>"), std::string::npos);
  std::string csrf = formToken(form.body);
  ASSERT_EQ(csrf.size(), 32u);

  // Without a form token, or with one that was not issued, nothing changes.
  for (const std::string& body : {std::string("flag=no"), "flag=no&_csrf=" + std::string(32, 'a')})
    EXPECT_EQ(postForm(port, path, body, {session, kSameSite}).status, 403);
  // A token issued for another region does not serve this one.
  std::string rootCsrf = formToken(get(port, "/_brindle/properties?region=", {session}).body);
  EXPECT_EQ(postForm(port, path, "flag=no&_csrf=" + rootCsrf, {session, kSameSite}).status, 403);
  // Nor does a right one sent from another site's page, or without a session.
  EXPECT_EQ(postForm(port, path, "flag=no&_csrf=" + csrf, {session, "Origin: http://evil.test"}).status, 403);
  EXPECT_EQ(postForm(port, path, "flag=no&_csrf=" + csrf, {kSameSite}).status, 403);
  EXPECT_EQ(get(port, "/shop/").body, "shop (absent)");

  HttpReply saved = postForm(port, path, "flag=no&_csrf=" + csrf, {session, kSameSite});
  EXPECT_EQ(saved.status, 200);
  EXPECT_NE(saved.body.find("Saved the properties of this region."), std::string::npos);
  EXPECT_NE(saved.body.find("<p>flag=no</p>"), std::string::npos);
  EXPECT_EQ(get(port, "/shop/").body, "shop no");
  EXPECT_EQ(get(port, "/").body, "root  (absent)");  // other regions keep theirs
  RegionProperties shop;
  std::string error;
  ASSERT_EQ(store->load("shop", shop, error), StoreStatus::Ok);
  EXPECT_EQ(shop.values, (std::map<std::string, std::string>{{"flag", "no"}, {"other", "set"}}));

  // A spent token is refused.
  EXPECT_EQ(postForm(port, path, "flag=yes&_csrf=" + csrf, {session, kSameSite}).status, 403);
  EXPECT_EQ(get(port, "/shop/").body, "shop no");

  // A script sends the token in X-Brindle-Token, with no Origin to check.
  std::string scriptCsrf = formToken(saved.body);
  HttpReply byScript = postForm(port, path, "_csrf=" + scriptCsrf, {std::string("X-Brindle-Token: ") + kToken});
  EXPECT_EQ(byScript.status, 200);
  EXPECT_EQ(get(port, "/shop/").body, "shop (absent)");
}

TEST_F(Http, EveryAnswerForbidsSniffing) {
  start();
  for (const char* path : {"/", "/style.css", "/missing.html", "/shop"})
    EXPECT_EQ(get(port, path).header("X-Content-Type-Options"), "nosniff") << path;
}

}  // namespace
}  // namespace bw
