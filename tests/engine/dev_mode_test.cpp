// brindle serve --dev over loopback, wired as serve wires it: the panel in
// every page (escaped, with a limit that stopped the page), the event route
// and its reload after a file under the root changes; and without --dev a
// site unchanged for visitors, its reports in the log.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "engine/dev_events.h"
#include "engine/dev_panel.h"
#include "engine/http_server.h"
#include "engine/listen_socket.h"
#include "engine/site_server.h"
#include "tests/engine/http_client.h"

namespace bw {
namespace {

namespace fs = std::filesystem;
using test::get;
using test::HttpReply;

// A visitor's text, in the query: a report quotes it.
constexpr const char* kHostileQuery = "/index.html?q=%3Cscript%3Ealert(1)%3C%2Fscript%3E";

size_t count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

class DevMode : public ::testing::Test {
 protected:
  void SetUp() override {
    base = fs::temp_directory_path() / ("brindle-dev-" + std::to_string(::getpid()));
    fs::remove_all(base);
    fs::create_directories(base / "site");
    put("index.html", "<html><body>\n<p>top</p> <fail message=\"no ${param.q} here\" hint=\"try again\">\n</body></html>");
    put("plain.html", "<html><body>plain</body></html>");
    put("endless.html", "<body>before <again>ab</again></body>");
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

  void start(bool dev) {
    SiteConfig config;
    config.root = base / "site";
    config.dev = dev;
    config.limits.maxTagCalls = 50;
    site = std::make_unique<SiteServer>(*library, *properties, config, errors);
    watcher = startDevEvents(*site, std::chrono::milliseconds(20));
    EXPECT_EQ(watcher != nullptr, dev);
    std::string error;
    FileDescriptor socket = openListenSocket("127.0.0.1", 0, port, error);
    ASSERT_TRUE(socket.valid()) << error;
    server = std::make_unique<HttpServer>(
        HttpLimits(), [this](const HttpRequest& q, HttpResponse& r) { site->answer(q, r); }, nullptr, errors);
    ASSERT_TRUE(server->start(std::move(socket), error)) << error;
  }

  void put(const std::string& name, const std::string& text) { std::ofstream(base / "site" / name) << text; }

  fs::path base;
  std::unique_ptr<ModuleLibrary> library;
  std::unique_ptr<PropertyStore> store;
  std::ostringstream log;
  SharedLog errors{log};
  std::unique_ptr<PropertyCache> properties;
  std::unique_ptr<SiteServer> site;
  std::unique_ptr<SiteWatcher> watcher;  // outlives the server, which stops first
  std::unique_ptr<HttpServer> server;
  int port = 0;
};

TEST_F(DevMode, EveryPageEndsWithItsReportsAndTheReloadScript) {
  start(true);
  HttpReply page = get(port, kHostileQuery);
  EXPECT_EQ(page.status, 200);  // the page still renders
  EXPECT_EQ(page.header("X-Brindle-Reports"), "1");
  const size_t panel = page.body.find("<div id=\"brindle-dev-panel\"");
  ASSERT_NE(panel, std::string::npos) << page.body;
  EXPECT_LT(page.body.find("<p>top</p>"), panel);
  EXPECT_EQ(page.body.substr(page.body.size() - 14), "</body></html>") << page.body;
  EXPECT_NE(page.body.find("<code>index.html:2:12</code> <code>&lt;fail&gt;</code> <b>error:</b> "
                           "no &lt;script&gt;alert(1)&lt;/script&gt; here<br><small>hint: try again</small>"),
            std::string::npos)
      << page.body;
  // The reload script is the only script on the page, and no visitor's text is in it.
  EXPECT_EQ(count(page.body, "<script"), 1u) << page.body;
  const std::string script = page.body.substr(page.body.find("<script"));
  EXPECT_EQ(script.find("alert"), std::string::npos) << script;
  EXPECT_NE(script.find(kDevEventsPath), std::string::npos) << script;

  // A page without reports gets the script alone.
  HttpReply plain = get(port, "/plain.html");
  EXPECT_EQ(plain.body.find(kDevPanelId), std::string::npos) << plain.body;
  EXPECT_EQ(count(plain.body, "<script>"), 1u) << plain.body;
  EXPECT_EQ(plain.body.rfind("</body></html>"), plain.body.size() - 14) << plain.body;

  // A page stopped by a limit says so.
  HttpReply endless = get(port, "/endless.html");
  EXPECT_EQ(endless.status, 200);
  EXPECT_NE(endless.body.find("brindle: 1 report; a limit stopped the page, and the rest of it is left out"),
            std::string::npos)
      << endless.body;
  EXPECT_NE(endless.body.find("<li class=\"brindle-limit\"><code>endless.html:1:"), std::string::npos)
      << endless.body;
}

TEST_F(DevMode, WithoutItVisitorsSeeThePageAndTheLogGetsTheReports) {
  start(false);
  HttpReply page = get(port, kHostileQuery);
  EXPECT_EQ(page.status, 200);
  EXPECT_EQ(page.header("X-Brindle-Reports"), "1");
  EXPECT_EQ(page.body.find(kDevPanelId), std::string::npos) << page.body;
  EXPECT_EQ(page.body.find("<script"), std::string::npos) << page.body;
  EXPECT_EQ(page.body.substr(page.body.size() - 15), "\n</body></html>") << page.body;
  EXPECT_NE(log.str().find("index.html:2:12: <fail>: error: no <script>alert(1)</script> here\n  hint: try again\n"),
            std::string::npos)
      << log.str();
  EXPECT_EQ(get(port, "/plain.html").body, "<html><body>plain</body></html>");
  EXPECT_EQ(get(port, kDevEventsPath).status, 404);
}

TEST_F(DevMode, EventsNameTheGenerationAndAReloadFollowsAChange) {
  start(true);
  HttpReply first = get(port, kDevEventsPath);
  EXPECT_EQ(first.status, 200);
  EXPECT_EQ(first.header("Content-Type"), "text/event-stream");
  EXPECT_EQ(first.header("Cache-Control"), "no-store");
  EXPECT_EQ(first.body, "retry: 500\nid: 0\n\n");  // a first connection only learns where the site stands
  EXPECT_EQ(get(port, kDevEventsPath, {"Last-Event-ID: 0"}).body, "retry: 500\nid: 0\n\n");
  // Whatever a browser sends as its last id, it is only compared.
  EXPECT_EQ(get(port, kDevEventsPath, {"Last-Event-ID: <b>"}).body, "retry: 500\nid: 0\ndata: reload\n\n");
  EXPECT_EQ(test::postForm(port, kDevEventsPath, "a=1").status, 405);

  // Moved in whole, so that the watcher sees one change, not a file half written.
  std::ofstream(base / "site.css") << "p{}";
  fs::rename(base / "site.css", base / "site" / "site.css");
  HttpReply after;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  do {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    after = get(port, kDevEventsPath, {"Last-Event-ID: 0"});
  } while (after.body.find("data: reload") == std::string::npos && std::chrono::steady_clock::now() < deadline);
  EXPECT_EQ(after.body.rfind("retry: 500\nid: ", 0), 0u) << after.body;
  EXPECT_NE(after.body.find("\ndata: reload\n\n"), std::string::npos) << after.body;
  // A browser that reloaded names the new generation and is left alone.
  const std::string id = after.body.substr(15, after.body.find('\n', 15) - 15);
  EXPECT_NE(id, "0");
  EXPECT_EQ(get(port, kDevEventsPath, {"Last-Event-ID: " + id}).body, "retry: 500\nid: " + id + "\n\n");
  // A page opened by a reload asks with the generation that caused it: a
  // change made while it was on its way still reaches it.
  const std::string path = kDevEventsPath;
  EXPECT_EQ(get(port, path + "?seen=" + id).body, "retry: 500\nid: " + id + "\n\n");
  EXPECT_EQ(get(port, path + "?seen=0").body, "retry: 500\nid: " + id + "\ndata: reload\n\n");
  EXPECT_EQ(get(port, path + "?seen=0", {"Last-Event-ID: " + id}).body, "retry: 500\nid: " + id + "\n\n");
}

}  // namespace
}  // namespace bw
