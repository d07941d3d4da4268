// What brindle serve answers, request by request, through a route table.
//
// Routes are tried in order; the first whose path matches answers, or says
// 405 when it does not take the method.  HEAD is taken wherever GET is and
// answered as GET (the HTTP layer leaves the body out).  The table ends with
// the site itself: .html files under the root are rendered as pages (GET,
// and POST with an url-encoded form; their query and form fields are
// ${param.NAME}), other files are sent as they are (static_files.h).  Before
// it stands the administrator's page (admin_page.h).  Other parts of the
// engine add their routes with addRoute before the server starts.
//
// Requests are answered on several threads at once: pages render in
// parallel (the module's calls may run on several threads), the compiled
// pages are shared through their cache, and region properties come from
// memory (property_cache.h), as immutable snapshots; while the store is
// unreachable pages render with the properties last seen.
#ifndef BRINDLE_ENGINE_SITE_SERVER_H
#define BRINDLE_ENGINE_SITE_SERVER_H

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/admin_page.h"
#include "engine/http_exchange.h"
#include "engine/module_library.h"
#include "engine/page_cache.h"
#include "engine/page_renderer.h"
#include "engine/property_cache.h"
#include "engine/shared_log.h"
#include "engine/site_path_cache.h"
#include "engine/static_files.h"

namespace bw {

struct SiteConfig {
  std::filesystem::path root;  // made canonical by the server
  std::string adminToken;
  EngineLimits limits;
  std::string staticCacheControl = kDefaultStaticCacheControl;
  bool dev = false;  // --dev: every page ends with its reports and the reload script (dev_panel.h)
};

enum HttpMethods : unsigned { kMethodGet = 1, kMethodPost = 2 };

class SiteServer {
 public:
  using Handler = std::function<void(const HttpRequest&, HttpResponse&)>;

  SiteServer(ModuleLibrary& library, PropertyCache& properties, SiteConfig config, SharedLog& log);

  // Answers one request; safe to call from several threads at once.
  void answer(const HttpRequest& request, HttpResponse& response) const;

  // Adds a route ahead of the site's files.  `path` matches exactly, or,
  // when it ends in "/", every path under it.  `methods` is a set of
  // HttpMethods.  Not safe once the server answers requests.
  void addRoute(std::string path, unsigned methods, Handler handler);

  const SiteConfig& config() const { return config_; }

 private:
  struct Route {
    std::string path;
    unsigned methods;
    Handler handler;
  };
  void servePath(const HttpRequest& request, HttpResponse& response);
  void servePage(const SitePath& path, const HttpRequest& request, HttpResponse& response);

  ModuleLibrary& library_;
  PropertyCache& properties_;
  SiteConfig config_;
  SharedLog& log_;
  CompiledPageCache pages_;  // guarded by its own lock
  SitePathCache paths_;      // guarded by its own lock
  std::unique_ptr<AdminPage> admin_;
  std::vector<Route> routes_;  // the site's own files are the last
};

}  // namespace bw

#endif
