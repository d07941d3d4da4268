// The HTTP side of brindle serve.
//
// .html files under the root are rendered as pages (GET, and POST with an
// url-encoded form); their query and form fields are ${param.NAME}.  Other
// files are sent as they are with their content type.  The administrator's
// page /_brindle/properties?region=R shows the module's properties form for a
// region and stores it; it needs the administrator token (query or form field
// "token", header X-Brindle-Token, or the cookie set when the page was opened
// with the token) and, to store, a form token from a page shown by this
// server.  Region properties come from memory (property_cache.h); while the
// store is unreachable pages render with the properties last seen and the
// administrator's page answers 503.  The module's objects may be used by one
// thread at a time, so every call into the module runs under one lock.
#ifndef BRINDLE_ENGINE_SITE_SERVER_H
#define BRINDLE_ENGINE_SITE_SERVER_H

#include <filesystem>
#include <iosfwd>
#include <mutex>
#include <string>

#include "engine/csrf_tokens.h"
#include "engine/module_library.h"
#include "engine/page_cache.h"
#include "engine/page_renderer.h"
#include "engine/property_cache.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace bw {

constexpr const char* kAdminPath = "/_brindle/properties";
constexpr size_t kMaxRequestBody = 1024 * 1024;
// Header fields one request may carry; more answer 431.
constexpr size_t kMaxRequestHeaders = 100;

struct SiteConfig {
  std::filesystem::path root;  // made canonical by the server
  std::string adminToken;
  EngineLimits limits;
};

class SiteServer {
 public:
  SiteServer(ModuleLibrary& library, PropertyCache& properties, SiteConfig config, std::ostream& log);
  void install(httplib::Server& server);

 private:
  void servePath(const httplib::Request& request, httplib::Response& response);
  void servePage(const std::filesystem::path& file, const std::string& region,
                 const httplib::Request& request, httplib::Response& response);
  void adminGet(const httplib::Request& request, httplib::Response& response);
  void adminPost(const httplib::Request& request, httplib::Response& response);
  bool authorised(const httplib::Request& request, const NamedValues& fields) const;
  void sendAdminPage(const std::string& region, const std::string& notice,
                     httplib::Response& response);

  ModuleLibrary& library_;
  PropertyCache& properties_;
  SiteConfig config_;
  std::ostream& log_;
  std::mutex lock_;  // the module, the form tokens and the log
  CsrfTokens csrf_;
  CompiledPageCache pages_;  // guarded by its own lock
};

}  // namespace bw

#endif
