// Request paths under the site root: what is served, what is refused.
#include <gtest/gtest.h>

#include <fstream>

#include "engine/site_path_cache.h"
#include "engine/site_paths.h"

namespace bw {
namespace {

namespace fs = std::filesystem;

class SitePaths : public ::testing::Test {
 protected:
  void SetUp() override {
    base = fs::temp_directory_path() / ("brindle-paths-" + std::to_string(::getpid()));
    fs::remove_all(base);
    root = base / "site";
    fs::create_directories(root / "shop" / "cart");
    fs::create_directories(root / ".git");
    for (const char* file : {"index.html", "shop/index.html", "shop/cart/list.html", "style.css",
                             ".git/config", "shop/.secret"})
      std::ofstream(root / file) << "x";
    std::ofstream(base / "outside.html") << "secret";
    fs::create_symlink(base / "outside.html", root / "link.html");
    fs::create_symlink(root / "style.css", root / "shop" / "inner.css");
    fs::create_directories(root / "evil.com");
    fs::create_symlink(root / ".git" / "config", root / "config.txt");
    fs::create_symlink(root / ".git", root / "repository");
    root = fs::canonical(root);
  }
  void TearDown() override { fs::remove_all(base); }
  fs::path base, root;
};

TEST_F(SitePaths, ServedAndRefused) {
  using Kind = SitePath::Kind;
  struct Case {
    const char* url;
    Kind kind;
    const char* fileOrLocation;  // relative to the root, or the redirect
    const char* region;
  };
  const Case cases[] = {
      {"/", Kind::File, "index.html", ""},
      {"/index.html", Kind::File, "index.html", ""},
      {"//style.css", Kind::File, "style.css", ""},
      {"/shop/", Kind::File, "shop/index.html", "shop"},
      {"/shop/./cart/list.html", Kind::File, "shop/cart/list.html", "shop/cart"},
      {"/shop", Kind::Redirect, "/shop/", ""},
      // A redirect never starts with "//", which names another host.
      {"//evil.com", Kind::Redirect, "/evil.com/", ""},
      {"/.//evil.com", Kind::Redirect, "/evil.com/", ""},
      {"/shop/inner.css", Kind::File, "style.css", ""},  // a link inside the site is followed
      {"/missing.html", Kind::NotFound, "", ""},
      {"/shop/cart/", Kind::NotFound, "", ""},  // no index.html
      // Hidden names are not served.
      {"/.git/config", Kind::NotFound, "", ""},
      {"/shop/.secret", Kind::NotFound, "", ""},
      // Nor through a link that resolves to one.
      {"/config.txt", Kind::NotFound, "", ""},
      {"/repository/config", Kind::NotFound, "", ""},
      // Every way out of the root is refused.
      {"/../outside.html", Kind::Forbidden, "", ""},
      {"/shop/../../outside.html", Kind::Forbidden, "", ""},
      {"/shop/..", Kind::Forbidden, "", ""},
      {"/link.html", Kind::Forbidden, "", ""},
      {"/..\\outside.html", Kind::Forbidden, "", ""},
      {"relative.html", Kind::Forbidden, "", ""},
      {"", Kind::Forbidden, "", ""},
  };
  // The cache must give the full resolution's answer, the first time and
  // again when the answer comes from the cache.
  SitePathCache cache(root);
  for (int round = 0; round < 2; ++round) {
    for (const Case& c : cases) {
      for (const SitePath& path : {resolveSitePath(root, c.url), cache.resolve(c.url)}) {
        EXPECT_EQ(path.kind, c.kind) << c.url;
        if (c.kind == Kind::File) {
          EXPECT_EQ(path.file, root / c.fileOrLocation) << c.url;
          EXPECT_EQ(path.name, c.fileOrLocation) << c.url;
          EXPECT_EQ(path.region, c.region) << c.url;
        }
        if (c.kind == Kind::Redirect) {
          EXPECT_EQ(path.location, c.fileOrLocation);
        }
      }
    }
  }
  std::string withNul("/index.html\0x", 13);
  EXPECT_EQ(resolveSitePath(root, withNul).kind, Kind::Forbidden);
  EXPECT_EQ(cache.resolve(withNul).kind, Kind::Forbidden);
}

TEST_F(SitePaths, CacheResolvesAFileOnceWhileItStaysTheSame) {
  SitePathCache cache(root);
  for (const char* url : {"/shop/cart/list.html", "//shop/cart/list.html", "/shop/./cart/list.html"})
    EXPECT_EQ(cache.resolve(url).kind, SitePath::Kind::File) << url;
  EXPECT_EQ(cache.fullResolutions(), 1u);
  // A folder's index page is kept like any page.
  for (const char* url : {"/shop/", "/shop//", "/shop/./"})
    EXPECT_EQ(cache.resolve(url).file, root / "shop" / "index.html") << url;
  EXPECT_EQ(cache.fullResolutions(), 2u);
  std::ofstream(root / "shop/cart/list.html") << "longer now";
  SitePath changed = cache.resolve("/shop/cart/list.html");
  EXPECT_EQ(changed.stamp.size, 10);
  EXPECT_EQ(cache.fullResolutions(), 3u);
}

TEST_F(SitePaths, CacheSeesALinkTurnedOutOfTheSiteAtOnce) {
  SitePathCache cache(root);
  fs::create_symlink(root / "style.css", root / "moving.css");
  EXPECT_EQ(cache.resolve("/moving.css").kind, SitePath::Kind::File);
  fs::remove(root / "moving.css");
  fs::create_symlink(base / "outside.html", root / "moving.css");
  EXPECT_EQ(cache.resolve("/moving.css").kind, SitePath::Kind::Forbidden);
  fs::remove(root / "moving.css");
  fs::create_symlink(root / ".git" / "config", root / "moving.css");
  EXPECT_EQ(cache.resolve("/moving.css").kind, SitePath::Kind::NotFound);
  fs::remove(root / "moving.css");
  EXPECT_EQ(cache.resolve("/moving.css").kind, SitePath::Kind::NotFound);
}

}  // namespace
}  // namespace bw
