// Pages, static files and the administrator's properties page over HTTP.
#include "engine/site_server.h"

#include <httplib.h>

#include <algorithm>
#include <fstream>
#include <ostream>
#include <vector>

#include "engine/content_types.h"
#include "engine/site_paths.h"
#include "engine/stream_reading.h"
#include "engine/text_util.h"
#include "engine/web_forms.h"

namespace bw {
namespace {

namespace fs = std::filesystem;

constexpr const char* kCookieName = "brindle_admin";
constexpr const char* kHtml = "text/html; charset=utf-8";
constexpr const char* kStoreUnreachable =
    "503 Service Unavailable: the properties store is unreachable, so nothing was changed; pages are "
    "served with the properties last seen. Try again when the store is back.";

NamedValues requestFields(const httplib::Request& request) {
  NamedValues fields;
  size_t question = request.target.find('?');
  if (question != std::string::npos) appendUrlEncodedFields(std::string_view(request.target).substr(question + 1), fields);
  if (request.method == "POST" &&
      request.get_header_value("Content-Type").rfind("application/x-www-form-urlencoded", 0) == 0)
    appendUrlEncodedFields(request.body, fields);
  return fields;
}

std::string cookieValue(const httplib::Request& request, std::string_view name) {
  std::string header = request.get_header_value("Cookie");
  size_t start = 0;
  while (start < header.size()) {
    size_t end = header.find(';', start);
    if (end == std::string::npos) end = header.size();
    std::string_view pair = std::string_view(header).substr(start, end - start);
    while (!pair.empty() && pair.front() == ' ') pair.remove_prefix(1);
    size_t eq = pair.find('=');
    if (eq != std::string_view::npos && pair.substr(0, eq) == name) return std::string(pair.substr(eq + 1));
    start = end + 1;
  }
  return {};
}

void sendText(httplib::Response& response, int status, const std::string& text) {
  response.status = status;
  response.set_content("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + htmlEscaped(text) +
                           "</title></head><body><p>" + htmlEscaped(text) + "</p></body></html>\n",
                       kHtml);
}

// While the properties store is unreachable the administrator's page shows
// nothing that could be stale and changes nothing.
void sendStoreUnreachable(httplib::Response& response) {
  sendText(response, 503, kStoreUnreachable);
  response.set_header("Retry-After", "5");
}

// The site's folders, the root first, at most kMaxListedRegions of them;
// hidden folders are left out as they are never served.
constexpr size_t kMaxListedRegions = 200;
std::vector<std::string> siteRegions(const fs::path& root) {
  std::vector<std::string> regions{""};
  std::error_code ec;
  for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->path().filename().string().rfind('.', 0) == 0) {
      if (it->is_directory(ec)) it.disable_recursion_pending();
      continue;
    }
    if (!it->is_directory(ec)) continue;
    regions.push_back(it->path().lexically_relative(root).generic_string());
    if (regions.size() >= kMaxListedRegions) break;
  }
  std::sort(regions.begin(), regions.end());
  return regions;
}

// Requests the HTTP library would otherwise take as they come: too many
// header fields, or a body length that is not a number (read as 0).
bool refusedRequest(const httplib::Request& request, httplib::Response& response) {
  if (request.headers.size() > kMaxRequestHeaders) {
    sendText(response, 431, "431 Request Header Fields Too Large");
    return true;
  }
  if (request.has_header("Content-Length")) {
    const std::string length = request.get_header_value("Content-Length");
    if (length.empty() || length.find_first_not_of("0123456789") != std::string::npos) {
      sendText(response, 400, "400 Bad Request: the body length is not a number.");
      return true;
    }
  }
  return false;
}

}  // namespace

SiteServer::SiteServer(ModuleLibrary& library, PropertyCache& properties, SiteConfig config, std::ostream& log)
    : library_(library), properties_(properties), config_(std::move(config)), log_(log), pages_(library.tags()) {
  std::error_code ec;
  fs::path canonical = fs::canonical(config_.root, ec);
  if (!ec) config_.root = canonical;
}

void SiteServer::install(httplib::Server& server) {
  server.set_payload_max_length(kMaxRequestBody);
  server.set_pre_routing_handler([](const httplib::Request& q, httplib::Response& r) {
    return refusedRequest(q, r) ? httplib::Server::HandlerResponse::Handled
                                : httplib::Server::HandlerResponse::Unhandled;
  });
  auto admin = [this](const httplib::Request& q, httplib::Response& r) {
    q.method == "POST" ? adminPost(q, r) : adminGet(q, r);
  };
  server.Get(kAdminPath, admin);
  server.Post(kAdminPath, admin);
  auto site = [this](const httplib::Request& q, httplib::Response& r) { servePath(q, r); };
  server.Get(".*", site);
  server.Post(".*", site);
}

void SiteServer::servePath(const httplib::Request& request, httplib::Response& response) {
  SitePath path = resolveSitePath(config_.root, request.path);
  switch (path.kind) {
    case SitePath::Kind::Forbidden:
      return sendText(response, 403, "403 Forbidden: the path leaves the site.");
    case SitePath::Kind::NotFound:
      return sendText(response, 404, "404 Not Found: " + request.path);
    case SitePath::Kind::Redirect:
      response.status = 301;
      response.set_header("Location", path.location);
      return;
    case SitePath::Kind::File:
      break;
  }
  std::string name = path.file.filename().string();
  if (equalsIgnoringCase(contentTypeFor(name), kHtml))
    return servePage(path.file, path.region, request, response);
  if (request.method != "GET") return sendText(response, 405, "405 Method Not Allowed");
  std::string content;
  if (!readWholeFile(path.file, content)) return sendText(response, 404, "404 Not Found: " + request.path);
  response.set_content(std::move(content), std::string(contentTypeFor(name)));
}

void SiteServer::servePage(const fs::path& file, const std::string& region,
                           const httplib::Request& request, httplib::Response& response) {
  std::shared_ptr<const CompiledPage> page = pages_.page(file);
  if (page == nullptr) return sendText(response, 404, "404 Not Found: " + request.path);
  NamedValues fields = requestFields(request);
  std::shared_ptr<const RegionProperties> properties = properties_.region(region);
  std::lock_guard<std::mutex> guard(lock_);
  PageContext context;
  context.fileName = fs::path(file).lexically_relative(config_.root).generic_string();
  context.requestFields = &fields;
  context.properties = properties.get();
  RenderOutcome outcome = renderPage(library_, *page, context, config_.limits);
  for (const PageReport& report : outcome.reports) log_ << formatReport(report);
  log_ << std::flush;
  response.set_header("X-Brindle-Reports", std::to_string(outcome.reports.size()));
  response.set_content(std::move(outcome.output), kHtml);
}

bool SiteServer::authorised(const httplib::Request& request, const NamedValues& fields) const {
  const std::string* fromFields = findNamed(fields, "token");
  if (fromFields && tokensEqual(*fromFields, config_.adminToken)) return true;
  if (tokensEqual(request.get_header_value("X-Brindle-Token"), config_.adminToken)) return true;
  return tokensEqual(cookieValue(request, kCookieName), config_.adminToken);
}

void SiteServer::adminGet(const httplib::Request& request, httplib::Response& response) {
  NamedValues fields = requestFields(request);
  if (!authorised(request, fields))
    return sendText(response, 403, "403 Forbidden: the administrator token is missing or wrong.");
  if (const std::string* token = findNamed(fields, "token"))
    response.set_header("Set-Cookie", std::string(kCookieName) + "=" + *token +
                                          "; Path=/_brindle; HttpOnly; SameSite=Strict");
  const std::string* region = findNamed(fields, "region");
  if (!properties_.available()) return sendStoreUnreachable(response);
  std::lock_guard<std::mutex> guard(lock_);
  sendAdminPage(region ? *region : std::string(), "", response);
}

void SiteServer::adminPost(const httplib::Request& request, httplib::Response& response) {
  NamedValues fields = requestFields(request);
  if (!authorised(request, fields))
    return sendText(response, 403, "403 Forbidden: the administrator token is missing or wrong.");
  const std::string* regionField = findNamed(fields, "region");
  std::string region = regionField ? *regionField : std::string();
  const std::string* csrf = findNamed(fields, "_csrf");
  if (!properties_.available()) return sendStoreUnreachable(response);
  std::lock_guard<std::mutex> guard(lock_);
  if (!csrf_.spend(csrf ? *csrf : std::string(), region)) {
    response.status = 403;
    response.set_content("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>403 Forbidden</title>"
                         "</head><body><p>403 Forbidden: the form token is missing, spent or not for this "
                         "region; nothing was changed. Open the properties page again and resubmit.</p>"
                         "</body></html>\n",
                         kHtml);
    return;
  }
  RegionProperties edited = *properties_.region(region);
  edited.region = region;
  edited.changes.clear();
  HostSession session;
  session.form = &fields;
  session.properties = &edited;
  session.edits = &edited;
  library_.call(session, MSPr);
  std::string error;
  switch (properties_.store(edited, error)) {
    case StoreStatus::Ok:
      return sendAdminPage(region, "Saved the properties of this region.", response);
    case StoreStatus::Unavailable:
      return sendStoreUnreachable(response);
    case StoreStatus::Failed:
      log_ << "brindle: storing the properties of region \"" << region << "\" failed: " << error << "\n"
           << std::flush;
      return sendText(response, 500, "500 Internal Server Error: the properties were not stored.");
  }
}

void SiteServer::sendAdminPage(const std::string& region, const std::string& notice,
                               httplib::Response& response) {
  std::shared_ptr<const RegionProperties> properties = properties_.region(region);
  HostSession session;
  session.properties = properties.get();
  library_.call(session, MGPr);
  std::string shownRegion = region.empty() ? "(the site root)" : htmlEscaped(region);
  std::string action = std::string(kAdminPath) + "?region=" + htmlEscaped(encodeUrlComponent(region));
  std::string html =
      "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Tag properties: " + shownRegion +
      "</title></head>\n<body>\n<h1>Tag properties of region " + shownRegion + "</h1>\n";
  if (!notice.empty()) html += "<p id=\"notice\">" + htmlEscaped(notice) + "</p>\n";
  html += "<p>Regions:";
  for (const std::string& other : siteRegions(config_.root))
    html += " <a href=\"" + std::string(kAdminPath) + "?region=" + htmlEscaped(encodeUrlComponent(other)) + "\">" +
            (other.empty() ? std::string("(root)") : htmlEscaped(other)) + "</a>";
  html += "</p>\n<form method=\"post\" action=\"" + action + "\">\n<input type=\"hidden\" name=\"_csrf\" value=\"" +
          csrf_.issue(region) + "\">\n<input type=\"hidden\" name=\"region\" value=\"" + htmlEscaped(region) +
          "\">\n" + session.output + "\n<p><input type=\"submit\" id=\"save\" value=\"Save\"></p>\n</form>\n</body></html>\n";
  response.set_content(std::move(html), kHtml);
}

}  // namespace bw
