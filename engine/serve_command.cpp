// brindle serve: the site over HTTP until SIGINT or SIGTERM.
#include <signal.h>
#include <sys/resource.h>

#include <cstdlib>
#include <filesystem>
#include <ostream>

#include "engine/access_log.h"
#include "engine/commands.h"
#include "engine/dev_events.h"
#include "engine/http_safety.h"
#include "engine/http_server.h"
#include "engine/listen_socket.h"
#include "engine/site_server.h"
#include "engine/web_forms.h"

namespace bw {
namespace {

// Descriptors the server needs besides its connections: the module, the
// store, logs, and the files being sent.
constexpr rlim_t kSpareDescriptors = 256;

// Raises the soft limit on open descriptors towards the connections allowed
// (each may be sending a file too), as far as the hard limit lets it.
void raiseDescriptorLimit(const HttpLimits& limits) {
  rlimit current{};
  if (getrlimit(RLIMIT_NOFILE, &current) != 0) return;
  rlim_t wanted = 2 * static_cast<rlim_t>(limits.maxConnections) + kSpareDescriptors;
  if (current.rlim_max != RLIM_INFINITY && wanted > current.rlim_max) wanted = current.rlim_max;
  if (wanted <= current.rlim_cur) return;
  current.rlim_cur = wanted;
  setrlimit(RLIMIT_NOFILE, &current);
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
  std::string host, error;
  int port = 0;
  if (!splitListenAddress(options.listen, host, port)) {
    diagnostics << "brindle: --listen needs HOST:PORT, not \"" << options.listen << "\"\n";
    return kExitUsage;
  }
  // The address first: a second server on a busy port stops before it loads anything.
  FileDescriptor listenSocket = openListenSocket(host, port, port, error);
  if (!listenSocket.valid()) {
    diagnostics << "brindle: " << error << "\n";
    return kExitUsage;
  }
  fs::path root = fs::canonical(options.root);
  std::string propsPath = options.props.empty() ? (root.parent_path() / "brindle.db").string() : options.props;
  // A store or a log under the root could be fetched by anyone who guesses
  // its name (and a log there would reload every page in development mode).
  if (propsPath.find(':') == std::string::npos && isUnder(propsPath, root)) {
    diagnostics << "brindle: the properties store " << propsPath << " is inside the site root " << root.string()
                << ", where it could be downloaded; keep it outside the root (--props FILE)\n";
    return kExitUsage;
  }
  if (!options.accessLog.empty() && options.accessLog != "-" && isUnder(options.accessLog, root)) {
    diagnostics << "brindle: the access log " << options.accessLog << " is inside the site root " << root.string()
                << ", where it could be downloaded; keep it outside the root (--access-log FILE)\n";
    return kExitUsage;
  }
  AccessLog accessLog;
  if (!options.accessLog.empty() && !accessLog.open(options.accessLog, error)) {
    diagnostics << "brindle: " << error << "\n";
    return kExitUsage;
  }
  EngineParts parts;
  if (!openEngineParts(modulePath, propsPath, parts, diagnostics)) return kExitUsage;
  SharedLog errors(diagnostics);
  std::unique_ptr<PropertyCache> properties = PropertyCache::start(*parts.store, errors, error);
  if (properties == nullptr) {
    diagnostics << "brindle: " << error << "\n";
    return kExitUsage;
  }
  raiseDescriptorLimit(options.http);

  SiteConfig config;
  config.root = root;
  config.limits = options.limits;
  config.staticCacheControl = options.staticCacheControl;
  config.dev = options.dev;
  const char* envToken = std::getenv("BRINDLE_ADMIN_TOKEN");
  config.adminToken = envToken != nullptr && *envToken != '\0' ? envToken : randomToken();
  const bool printToken = envToken == nullptr || *envToken == '\0';

  // SIGINT and SIGTERM are blocked in every thread and taken here, so that
  // the server stops and the module is terminated and unloaded on the way out.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  SiteServer site(*parts.library, *properties, config, errors);
  // Declared before the server, so that it outlives the server's last request.
  std::unique_ptr<SiteWatcher> watcher = startDevEvents(site);
  HttpServer server(
      options.http, [&site](const HttpRequest& q, HttpResponse& r) { site.answer(q, r); },
      accessLog.enabled() ? &accessLog : nullptr, errors);
  if (!server.start(std::move(listenSocket), error)) {
    diagnostics << "brindle: " << error << "\n";
    return kExitUsage;
  }
  std::string shownHost = host.find(':') != std::string::npos ? "[" + host + "]" : host;
  std::string base = "http://" + shownHost + ":" + std::to_string(port);
  out << "brindle: serving " << root.string() << " at " << base << "/\n";
  out << "brindle: properties store " << parts.store->describe() << "\n";
  if (watcher != nullptr)
    out << "brindle: development mode is on: every page shows its reports in a panel at its end, and reloads "
           "when a file under "
        << root.string() << " changes; do not serve visitors like this\n";
  // The token is shown apart from the address, so that it never ends up in a
  // browser's history or a proxy's log.
  out << "brindle: administrator page " << base << kAdminPath << ", signed in with the token "
      << (printToken ? config.adminToken : std::string("in $BRINDLE_ADMIN_TOKEN")) << "\n"
      << std::flush;

  int received = 0;
  sigwait(&stopSignals, &received);
  server.stop();
  return kExitOk;
}

}  // namespace bw
