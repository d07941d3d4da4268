// The properties form of a region, its sign-in and its submission.
#include "engine/admin_page.h"

#include <algorithm>
#include <vector>

#include "engine/http_safety.h"
#include "engine/text_util.h"
#include "engine/web_forms.h"

namespace bw {
namespace {

namespace fs = std::filesystem;

constexpr const char* kStoreUnreachable =
    "503 Service Unavailable: the properties store is unreachable, so nothing was changed; pages are "
    "served with the properties last seen. Try again when the store is back.";

// While the properties store is unreachable the page shows nothing that
// could be stale and changes nothing.
void answerStoreUnreachable(HttpResponse& response) {
  answerWithMessage(response, 503, kStoreUnreachable);
  response.setHeader("Retry-After", "5");
}

std::string_view cookieValue(const HttpRequest& request, std::string_view name) {
  std::string_view header = request.header("Cookie");
  size_t start = 0;
  while (start < header.size()) {
    size_t end = header.find(';', start);
    if (end == std::string_view::npos) end = header.size();
    std::string_view pair = header.substr(start, end - start);
    while (!pair.empty() && pair.front() == ' ') pair.remove_prefix(1);
    size_t eq = pair.find('=');
    if (eq != std::string_view::npos && pair.substr(0, eq) == name) return pair.substr(eq + 1);
    start = end + 1;
  }
  return {};
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

}  // namespace

NamedValues requestFields(const HttpRequest& request) {
  NamedValues fields;
  appendUrlEncodedFields(request.query, fields);
  if (request.method == "POST" &&
      startsWithIgnoringCase(request.header("Content-Type"), "application/x-www-form-urlencoded"))
    appendUrlEncodedFields(request.body, fields);
  return fields;
}

AdminPage::AdminPage(ModuleLibrary& library, PropertyCache& properties, fs::path root, std::string adminToken,
                     SharedLog& log)
    : library_(library),
      properties_(properties),
      root_(std::move(root)),
      adminToken_(std::move(adminToken)),
      log_(log) {}

bool AdminPage::byScript(const HttpRequest& request) const {
  return request.hasHeader("X-Brindle-Token") && tokensEqual(request.header("X-Brindle-Token"), adminToken_);
}

bool AdminPage::signedIn(const HttpRequest& request) {
  return byScript(request) || sessions_.use(cookieValue(request, kAdminSessionCookie));
}

void AdminPage::answer(const HttpRequest& request, HttpResponse& response) {
  for (const ResponseHeader& header : kAdminResponseHeaders) response.setHeader(header.name, header.value);
  NamedValues fields = requestFields(request);
  const std::string* regionField = findNamed(fields, "region");
  const std::string region = regionField ? *regionField : std::string();
  const bool post = request.method == "POST";
  if (post && !byScript(request) &&
      !fromSameSite(request.header("Origin"), request.header("Referer"), request.header("Host")))
    return answerWithMessage(response, 403,
                             "403 Forbidden: the form was not sent from a page of this site; nothing was changed.");
  if (post && findNamed(fields, "_signin") != nullptr) return signIn(request, region, response);
  if (!signedIn(request)) {
    response.status = 403;
    return showSignIn(region, "", response);
  }
  if (!properties_.available()) return answerStoreUnreachable(response);
  if (post) return save(request, fields, response);
  showForm(region, "", response);
}

void AdminPage::signIn(const HttpRequest& request, const std::string& region, HttpResponse& response) {
  // The token is read from the form's body only, never from the URL.
  NamedValues form;
  if (startsWithIgnoringCase(request.header("Content-Type"), "application/x-www-form-urlencoded"))
    appendUrlEncodedFields(request.body, form);
  const std::string* token = findNamed(form, "token");
  if (token == nullptr || !tokensEqual(*token, adminToken_)) {
    response.status = 403;
    return showSignIn(region, "The administrator token is wrong.", response);
  }
  const bool secure = cameOverTls(request.remoteAddress, request.header("X-Forwarded-Proto"));
  response.setHeader("Set-Cookie", adminSessionCookie(sessions_.open(), secure));
  // Back to the page asked for, by GET, so that reloading it sends nothing again.
  response.status = 303;
  response.setHeader("Location", std::string(kAdminPath) + "?region=" + encodeUrlComponent(region));
  response.body.clear();
}

void AdminPage::showSignIn(const std::string& region, const std::string& notice, HttpResponse& response) {
  std::string html =
      "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Sign in</title></head>\n<body>\n"
      "<h1>Sign in to change tag properties</h1>\n";
  if (!notice.empty()) html += "<p id=\"notice\">" + htmlEscaped(notice) + "</p>\n";
  html += "<form method=\"post\" action=\"" + std::string(kAdminPath) + "?region=" +
          htmlEscaped(encodeUrlComponent(region)) +
          "\">\n<input type=\"hidden\" name=\"_signin\" value=\"1\">\n"
          "<p><label>Administrator token <input type=\"password\" name=\"token\" id=\"token\" "
          "autocomplete=\"current-password\"></label></p>\n"
          "<p><input type=\"submit\" id=\"signin\" value=\"Sign in\"></p>\n</form>\n</body></html>\n";
  response.setHeader("Content-Type", "text/html; charset=utf-8");
  response.body = std::move(html);
}
void AdminPage::save(const HttpRequest& request, const NamedValues& fields, HttpResponse& response) {
  (void)request;
  const std::string* regionField = findNamed(fields, "region");
  std::string region = regionField ? *regionField : std::string();
  const std::string* csrf = findNamed(fields, "_csrf");
  bool spent = false;
  {
    std::lock_guard<std::mutex> guard(csrfLock_);
    spent = csrf_.spend(csrf ? *csrf : std::string(), region);
  }
  if (!spent)
    return answerWithMessage(response, 403,
                             "403 Forbidden: the form token is missing, spent or not for this region; nothing was "
                             "changed. Open the properties page again and resubmit.");
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
      break;
    case StoreStatus::Unavailable:
      return answerStoreUnreachable(response);
    case StoreStatus::Failed:
      log_.write("brindle: storing the properties of region \"" + region + "\" failed: " + error + "\n");
      return answerWithMessage(response, 500, "500 Internal Server Error: the properties were not stored.");
  }
  showForm(region, "Saved the properties of this region.", response);
}

void AdminPage::showForm(const std::string& region, const std::string& notice, HttpResponse& response) {
  std::shared_ptr<const RegionProperties> properties = properties_.region(region);
  HostSession session;
  session.properties = properties.get();
  library_.call(session, MGPr);
  std::string formToken;
  {
    std::lock_guard<std::mutex> guard(csrfLock_);
    formToken = csrf_.issue(region);
  }
  std::string shownRegion = region.empty() ? "(the site root)" : htmlEscaped(region);
  std::string action = std::string(kAdminPath) + "?region=" + htmlEscaped(encodeUrlComponent(region));
  std::string html =
      "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Tag properties: " + shownRegion +
      "</title></head>\n<body>\n<h1>Tag properties of region " + shownRegion + "</h1>\n";
  if (!notice.empty()) html += "<p id=\"notice\">" + htmlEscaped(notice) + "</p>\n";
  html += "<p>Regions:";
  for (const std::string& other : siteRegions(root_))
    html += " <a href=\"" + std::string(kAdminPath) + "?region=" + htmlEscaped(encodeUrlComponent(other)) + "\">" +
            (other.empty() ? std::string("(root)") : htmlEscaped(other)) + "</a>";
  html += "</p>\n<form method=\"post\" action=\"" + action + "\">\n<input type=\"hidden\" name=\"_csrf\" value=\"" +
          formToken + "\">\n<input type=\"hidden\" name=\"region\" value=\"" + htmlEscaped(region) + "\">\n" +
          session.output + "\n<p><input type=\"submit\" id=\"save\" value=\"Save\"></p>\n</form>\n</body></html>\n";
  response.status = 200;
  response.setHeader("Content-Type", "text/html; charset=utf-8");
  response.body = std::move(html);
}

}  // namespace bw
