// The administrator's page /_brindle/properties?region=R: shows the
// module's properties form for a region and stores what it sends back.
//
// Opening it needs the administrator token (query or form field "token",
// header X-Brindle-Token, or the cookie set when the page was opened with
// the token); storing needs besides a form token from a page this server
// showed, spent by the submission.  While the properties store is
// unreachable the page answers 503 and changes nothing.  Kept apart from the
// site's pages so that how an administrator signs in can change in one place.
#ifndef BRINDLE_ENGINE_ADMIN_PAGE_H
#define BRINDLE_ENGINE_ADMIN_PAGE_H

#include <filesystem>
#include <mutex>
#include <string>

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
  bool authorised(const HttpRequest& request, const NamedValues& fields) const;
  void save(const HttpRequest& request, const NamedValues& fields, HttpResponse& response);
  void showForm(const std::string& region, const std::string& notice, HttpResponse& response);

  ModuleLibrary& library_;
  PropertyCache& properties_;
  const std::filesystem::path root_;
  const std::string adminToken_;
  SharedLog& log_;
  std::mutex csrfLock_;
  CsrfTokens csrf_;
};

// The fields of the query and, for a url-encoded POST, of the body, in order.
NamedValues requestFields(const HttpRequest& request);

}  // namespace bw

#endif
