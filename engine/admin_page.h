// The administrator's page /_brindle/properties?region=R: shows the
// module's properties form for a region and stores what it sends back.
//
// An administrator signs in with the token through the sign-in form (a
// POST), which sets a session cookie (admin_sessions.h); the token itself
// never travels in a URL and is never stored in the browser.  A script may
// send the token in the header X-Brindle-Token instead.  Storing needs
// besides a form token from a page this server showed, spent by the
// submission, and every POST a browser sends must come from a page of this
// site (Origin, or Referer, against Host).  Every answer forbids framing,
// caching and a Referer to other sites.  While the properties store is
// unreachable the page answers 503 and changes nothing.  Kept apart from the
// site's pages so that how an administrator signs in can change in one place.
#ifndef BRINDLE_ENGINE_ADMIN_PAGE_H
#define BRINDLE_ENGINE_ADMIN_PAGE_H

#include <filesystem>
#include <mutex>
#include <string>

#include "engine/admin_sessions.h"
#include "engine/csrf_tokens.h"
#include "engine/http_exchange.h"
#include "engine/module_library.h"
#include "engine/property_cache.h"
#include "engine/shared_log.h"

namespace bw {

constexpr const char* kAdminPath = "/_brindle/properties";

class AdminPage {
 public:
  AdminPage(ModuleLibrary& library, PropertyCache& properties, std::filesystem::path root, std::string adminToken,
            SharedLog& log);

  void answer(const HttpRequest& request, HttpResponse& response);

 private:
  // The token in X-Brindle-Token: a script, which no other site can make a browser send.
  bool byScript(const HttpRequest& request) const;
  bool signedIn(const HttpRequest& request);
  void signIn(const HttpRequest& request, const std::string& region, HttpResponse& response);
  void showSignIn(const std::string& region, const std::string& notice, HttpResponse& response);
  void save(const HttpRequest& request, const NamedValues& fields, HttpResponse& response);
  void showForm(const std::string& region, const std::string& notice, HttpResponse& response);

  ModuleLibrary& library_;
  PropertyCache& properties_;
  const std::filesystem::path root_;
  const std::string adminToken_;
  SharedLog& log_;
  std::mutex csrfLock_;
  CsrfTokens csrf_;
  AdminSessions sessions_;
};

// The fields of the query and, for a url-encoded POST, of the body, in order.
NamedValues requestFields(const HttpRequest& request);

}  // namespace bw

#endif
