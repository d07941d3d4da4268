// The route table; pages and static files.
#include "engine/site_server.h"

#include "engine/content_types.h"
#include "engine/dev_panel.h"
#include "engine/site_paths.h"
#include "engine/text_util.h"
#include "engine/web_forms.h"

namespace bw {
namespace {

namespace fs = std::filesystem;

constexpr const char* kHtml = "text/html; charset=utf-8";

bool routeMatches(const std::string& routePath, const std::string& path) {
  if (!routePath.empty() && routePath.back() == '/') return path.compare(0, routePath.size(), routePath) == 0;
  return path == routePath;
}

// The methods a request may use on a route; HEAD goes with GET.
bool methodAllowed(unsigned methods, std::string_view method) {
  if (method == "GET" || method == "HEAD") return (methods & kMethodGet) != 0;
  return method == "POST" && (methods & kMethodPost) != 0;
}

std::string allowHeader(unsigned methods) {
  std::string allow;
  if (methods & kMethodGet) allow = "GET, HEAD";
  if (methods & kMethodPost) allow += allow.empty() ? "POST" : ", POST";
  return allow;
}

SiteConfig withCanonicalRoot(SiteConfig config) {
  std::error_code ec;
  fs::path canonical = fs::canonical(config.root, ec);
  if (!ec) config.root = canonical;
  return config;
}

}  // namespace

SiteServer::SiteServer(ModuleLibrary& library, PropertyCache& properties, SiteConfig config, SharedLog& log)
    : library_(library),
      properties_(properties),
      config_(withCanonicalRoot(std::move(config))),
      log_(log),
      pages_(library.tags()),
      paths_(config_.root) {
  admin_ = std::make_unique<AdminPage>(library_, properties_, config_.root, config_.adminToken, log_);
  routes_.push_back(Route{kAdminPath, kMethodGet | kMethodPost,
                          [this](const HttpRequest& q, HttpResponse& r) { admin_->answer(q, r); }});
  routes_.push_back(
      Route{"/", kMethodGet | kMethodPost, [this](const HttpRequest& q, HttpResponse& r) { servePath(q, r); }});
}

void SiteServer::addRoute(std::string path, unsigned methods, Handler handler) {
  routes_.insert(routes_.end() - 1, Route{std::move(path), methods, std::move(handler)});
}

void SiteServer::answer(const HttpRequest& request, HttpResponse& response) const {
  for (const Route& route : routes_) {
    if (!routeMatches(route.path, request.path)) continue;
    if (!methodAllowed(route.methods, request.method)) {
      answerWithMessage(response, 405, "405 Method Not Allowed");
      response.setHeader("Allow", allowHeader(route.methods));
      return;
    }
    return route.handler(request, response);
  }
  answerWithMessage(response, 404, "404 Not Found: " + request.path);
}

void SiteServer::servePath(const HttpRequest& request, HttpResponse& response) {
  SitePath path = paths_.resolve(request.path);
  switch (path.kind) {
    case SitePath::Kind::Forbidden:
      return answerWithMessage(response, 403, "403 Forbidden: the path leaves the site.");
    case SitePath::Kind::NotFound:
      return answerWithMessage(response, 404, "404 Not Found: " + request.path);
    case SitePath::Kind::Redirect:
      response.status = 301;
      // Encoded, so that no byte of the path can end the header.
      response.setHeader("Location", encodeUrlComponent(path.location));
      return;
    case SitePath::Kind::File:
      break;
  }
  std::string name = path.file.filename().string();
  std::string_view type = contentTypeFor(name);
  if (equalsIgnoringCase(type, kHtml)) return servePage(path, request, response);
  if (request.method == "POST") {
    answerWithMessage(response, 405, "405 Method Not Allowed");
    response.setHeader("Allow", "GET, HEAD");
    return;
  }
  answerStaticFile(request, path.file, type, config_.staticCacheControl, response);
}

void SiteServer::servePage(const SitePath& path, const HttpRequest& request, HttpResponse& response) {
  std::shared_ptr<const CompiledPage> page = pages_.page(path.file, path.stamp);
  if (page == nullptr) return answerWithMessage(response, 404, "404 Not Found: " + request.path);
  NamedValues fields = requestFields(request);
  std::shared_ptr<const RegionProperties> properties = properties_.region(path.region);
  PageContext context;
  context.fileName = path.name;
  context.requestFields = &fields;
  context.properties = properties.get();
  RenderOutcome outcome = renderPage(library_, *page, context, config_.limits);
  if (!outcome.reports.empty()) {
    std::string reports;
    for (const PageReport& report : outcome.reports) reports += formatReport(report);
    log_.write(reports);
  }
  response.setHeader("Content-Type", kHtml);
  // A page is made for its request; no cache may answer another with it.
  response.setHeader("Cache-Control", "no-store");
  response.setHeader("X-Brindle-Reports", std::to_string(outcome.reports.size()));
  response.body = std::move(outcome.output);
  if (config_.dev) insertDevPanel(response.body, renderDevPanel(outcome.reports));
}

}  // namespace bw
