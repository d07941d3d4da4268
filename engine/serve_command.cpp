// brindle serve: the site over HTTP until SIGINT or SIGTERM.
#include <httplib.h>
#include <signal.h>

#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <thread>

#include "engine/commands.h"
#include "engine/site_server.h"
#include "engine/web_forms.h"

namespace bw {
namespace {

// Worker threads of the HTTP server: as many as the clients it should serve
// at once.
constexpr size_t kServerWorkers = 128;

bool splitListen(const std::string& listen, std::string& host, int& port) {
  size_t colon = listen.rfind(':');
  if (colon == std::string::npos || colon == 0) return false;
  host = listen.substr(0, colon);
  std::string digits = listen.substr(colon + 1);
  if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos)
    return false;
  port = std::atoi(digits.c_str());
  return port <= 65535;
}

}  // namespace

int runServe(const Options& options, const std::string& modulePath, std::ostream& out,
             std::ostream& diagnostics) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (!fs::is_directory(options.root, ec)) {
    diagnostics << "brindle: the site root " << options.root << " is not a folder\n";
    return kExitUsage;
  }
  std::string host;
  int port = 0;
  if (!splitListen(options.listen, host, port)) {
    diagnostics << "brindle: --listen needs HOST:PORT, not \"" << options.listen << "\"\n";
    return kExitUsage;
  }
  fs::path root = fs::canonical(options.root);
  std::string propsPath = options.props.empty() ? (root.parent_path() / "brindle.db").string() : options.props;
  EngineParts parts;
  if (!openEngineParts(modulePath, propsPath, parts, diagnostics)) return kExitUsage;
  std::string error;
  std::unique_ptr<PropertyCache> properties = PropertyCache::start(*parts.store, diagnostics, error);
  if (properties == nullptr) {
    diagnostics << "brindle: " << error << "\n";
    return kExitUsage;
  }

  SiteConfig config;
  config.root = root;
  config.limits = options.limits;
  const char* envToken = std::getenv("BRINDLE_ADMIN_TOKEN");
  config.adminToken = envToken != nullptr && *envToken != '\0' ? envToken : randomToken();
  const bool printToken = envToken == nullptr || *envToken == '\0';

  // SIGINT and SIGTERM are taken by one thread that stops the server, so
  // that the module is terminated and unloaded on the way out.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  httplib::Server server;
  SiteServer site(*parts.library, *properties, config, diagnostics);
  site.install(server);
  server.set_keep_alive_max_count(100);
  // Pages render one at a time under the server's lock, so a worker is
  // mostly waiting; one per expected client keeps a kept-alive connection
  // from holding the few default workers while the other clients time out.
  server.new_task_queue = [] { return new httplib::ThreadPool(kServerWorkers); };
  server.set_read_timeout(10);
  if (port == 0) {
    port = server.bind_to_any_port(host);
    if (port < 0) port = 0;
  } else if (!server.bind_to_port(host, port)) {
    port = 0;
  }
  if (port == 0) {
    diagnostics << "brindle: cannot listen on " << options.listen << "\n";
    return kExitUsage;
  }
  std::string base = "http://" + host + ":" + std::to_string(port);
  out << "brindle: serving " << root.string() << " at " << base << "/\n";
  out << "brindle: properties store " << parts.store->describe() << "\n";
  out << "brindle: administrator page " << base << kAdminPath << "?region=&token="
      << (printToken ? config.adminToken : std::string("$BRINDLE_ADMIN_TOKEN")) << "\n"
      << std::flush;

  std::thread watcher([&] {
    int received = 0;
    sigwait(&stopSignals, &received);
    server.stop();
  });
  server.listen_after_bind();
  // The watcher may still wait when the server stopped on its own.
  pthread_kill(watcher.native_handle(), SIGTERM);
  watcher.join();
  return kExitOk;
}

}  // namespace bw
