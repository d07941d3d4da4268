// brindle serve over loopback: static files, pages with their fields and
// regions, the administrator's page with its token and form-token refusals,
// and paths that try to leave the site.
#include <gtest/gtest.h>
#include <httplib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "engine/site_server.h"

namespace bw {
namespace {

namespace fs = std::filesystem;

constexpr const char* kToken = "test-admin-token";

class Http : public ::testing::Test {
 protected:
  void SetUp() override {
    base = fs::temp_directory_path() / ("brindle-http-" + std::to_string(::getpid()));
    fs::remove_all(base);
    fs::create_directories(base / "site" / "shop");
    put("site/index.html", "root <echo text=\"${param.q}\"> <property name=\"flag\">");
    put("site/shop/index.html", "shop <property name=\"flag\">");
    put("site/style.css", "body{}");
    put("secret.txt", "secret");
    std::string error;
    library = ModuleLibrary::open(FAKE_MODULE_PATH, error);
    ASSERT_TRUE(library) << error;
    store = PropertyStore::open((base / "p.db").string(), error);
    ASSERT_TRUE(store) << error;
    properties = PropertyCache::start(*store, log, error);
    ASSERT_TRUE(properties) << error;
    SiteConfig config;
    config.root = base / "site";
    config.adminToken = kToken;
    site = std::make_unique<SiteServer>(*library, *properties, config, log);
    site->install(server);
    port = server.bind_to_any_port("127.0.0.1");
    ASSERT_GT(port, 0);
    thread = std::thread([this] { server.listen_after_bind(); });
    client = std::make_unique<httplib::Client>("127.0.0.1", port);
    client->set_connection_timeout(5);
    client->set_read_timeout(5);
  }
  void TearDown() override {
    server.stop();
    if (thread.joinable()) thread.join();
    fs::remove_all(base);
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
  std::unique_ptr<PropertyCache> properties;  // logs to `log`
  std::unique_ptr<SiteServer> site;
  httplib::Server server;
  int port = 0;
  std::thread thread;
  std::unique_ptr<httplib::Client> client;
};

TEST_F(Http, StaticFilesAndPages) {
  auto css = client->Get("/style.css");
  ASSERT_TRUE(css);
  EXPECT_EQ(css->status, 200);
  EXPECT_EQ(css->body, "body{}");
  EXPECT_EQ(css->get_header_value("Content-Type"), "text/css; charset=utf-8");

  auto page = client->Get("/?q=%3Cb%3E");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_EQ(page->body, "root <b> (absent)");  // exact in a parameter value
  EXPECT_EQ(page->get_header_value("Content-Type"), "text/html; charset=utf-8");

  auto posted = client->Post("/index.html", "q=posted+value", "application/x-www-form-urlencoded");
  ASSERT_TRUE(posted);
  EXPECT_EQ(posted->body, "root posted value (absent)");

  auto redirect = client->Get("/shop");
  ASSERT_TRUE(redirect);
  EXPECT_EQ(redirect->status, 301);
  EXPECT_EQ(redirect->get_header_value("Location"), "/shop/");

  auto missing = client->Get("/nope.html");
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->status, 404);
}

TEST_F(Http, AnEditedPageIsServedAsEdited) {
  const char* const versions[] = {
      "first <echo text=\"a\">",
      "second, longer <echo text=\"b\">",
      "third <echo text=\"c\">.",  // as long as the second
  };
  const char* const outputs[] = {"first a", "second, longer b", "third c."};
  for (size_t i = 0; i < 3; ++i) {
    put("site/edited.html", versions[i]);
    // The cache is checked on every request, not only the first after a change.
    for (int twice = 0; twice < 2; ++twice) {
      auto page = client->Get("/edited.html");
      ASSERT_TRUE(page);
      EXPECT_EQ(page->body, outputs[i]) << "version " << i;
    }
  }
  fs::remove(base / "site" / "edited.html");
  auto gone = client->Get("/edited.html");
  ASSERT_TRUE(gone);
  EXPECT_EQ(gone->status, 404);
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
  for (const char* path : {"/../secret.txt", "/shop/../../secret.txt", "/%2e%2e/secret.txt",
                           "/shop/%2E%2E/%2e%2e/secret.txt", "/..%5csecret.txt"}) {
    auto response = client->Get(path);
    ASSERT_TRUE(response) << path;
    EXPECT_EQ(response->status, 403) << path;
    EXPECT_EQ(response->body.find("secret\n"), std::string::npos);
  }
}

TEST_F(Http, AdministratorTokenIsRequired) {
  for (const char* path : {"/_brindle/properties?region=shop", "/_brindle/properties?region=shop&token=wrong"}) {
    auto get = client->Get(path);
    ASSERT_TRUE(get);
    EXPECT_EQ(get->status, 403) << path;
    auto post = client->Post(path, "flag=no", "application/x-www-form-urlencoded");
    ASSERT_TRUE(post);
    EXPECT_EQ(post->status, 403) << path;
  }
  RegionProperties shop;
  std::string error;
  ASSERT_EQ(store->load("shop", shop, error), StoreStatus::Ok);
  EXPECT_TRUE(shop.values.empty());
}

TEST_F(Http, PropertiesAreStoredOnlyWithAValidFormToken) {
  const std::string path = std::string("/_brindle/properties?region=shop&token=") + kToken;
  auto form = client->Get(path.c_str());
  ASSERT_TRUE(form);
  ASSERT_EQ(form->status, 200);
  EXPECT_NE(form->body.find("<p>flag=(absent)</p>"), std::string::npos) << form->body;
  EXPECT_NE(form->body.find("<a href=\"/_brindle/properties?region=shop\">shop</a>"), std::string::npos);
  EXPECT_NE(form->get_header_value("Set-Cookie").find("brindle_admin=test-admin-token"), std::string::npos);
  std::string csrf = formToken(form->body);
  ASSERT_EQ(csrf.size(), 32u);

  // Without a form token, or with one that was not issued, nothing changes.
  for (const std::string& body : {std::string("flag=no"), "flag=no&_csrf=" + std::string(32, 'a')}) {
    auto refused = client->Post(path.c_str(), body, "application/x-www-form-urlencoded");
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 403);
  }
  // A token issued for another region does not serve this one.
  auto rootForm = client->Get((std::string("/_brindle/properties?region=&token=") + kToken).c_str());
  std::string rootCsrf = formToken(rootForm->body);
  auto crossed = client->Post(path.c_str(), "flag=no&_csrf=" + rootCsrf, "application/x-www-form-urlencoded");
  EXPECT_EQ(crossed->status, 403);
  EXPECT_EQ(client->Get("/shop/")->body, "shop (absent)");

  auto saved = client->Post(path.c_str(), "flag=no&_csrf=" + csrf, "application/x-www-form-urlencoded");
  ASSERT_TRUE(saved);
  EXPECT_EQ(saved->status, 200);
  EXPECT_NE(saved->body.find("Saved the properties of this region."), std::string::npos);
  EXPECT_NE(saved->body.find("<p>flag=no</p>"), std::string::npos);
  EXPECT_EQ(client->Get("/shop/")->body, "shop no");
  EXPECT_EQ(client->Get("/")->body, "root  (absent)");  // other regions keep theirs
  RegionProperties shop;
  std::string error;
  ASSERT_EQ(store->load("shop", shop, error), StoreStatus::Ok);
  EXPECT_EQ(shop.values, (std::map<std::string, std::string>{{"flag", "no"}, {"other", "set"}}));

  // A spent token is refused.
  auto replay = client->Post(path.c_str(), "flag=yes&_csrf=" + csrf, "application/x-www-form-urlencoded");
  EXPECT_EQ(replay->status, 403);
  EXPECT_EQ(client->Get("/shop/")->body, "shop no");

  // The cookie set with the form serves as the token.
  std::string cookieCsrf = formToken(saved->body);
  httplib::Headers cookie{{"Cookie", std::string("brindle_admin=") + kToken}};
  auto byCookie = client->Post("/_brindle/properties?region=shop", cookie, "_csrf=" + cookieCsrf,
                               "application/x-www-form-urlencoded");
  ASSERT_TRUE(byCookie);
  EXPECT_EQ(byCookie->status, 200);
  EXPECT_EQ(client->Get("/shop/")->body, "shop (absent)");
}

}  // namespace
}  // namespace bw
