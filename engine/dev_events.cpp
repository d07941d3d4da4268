// One answer of the event stream, and its route.
#include "engine/dev_events.h"

#include <string>

#include "engine/dev_panel.h"

namespace bw {

void answerDevEvents(const SiteWatcher& watcher, std::string_view lastEventId, HttpResponse& response) {
  const std::string generation = std::to_string(watcher.generation());
  response.status = 200;
  response.setHeader("Content-Type", "text/event-stream");
  response.setHeader("Cache-Control", "no-store");
  response.body = "retry: " + std::to_string(kDevEventsRetryMilliseconds) + "\nid: " + generation + "\n";
  // A first connection only learns where the site stands.
  if (!lastEventId.empty() && lastEventId != generation) response.body += "data: reload\n";
  response.body += "\n";
}

std::unique_ptr<SiteWatcher> startDevEvents(SiteServer& site, std::chrono::milliseconds interval) {
  if (!site.config().dev) return nullptr;
  auto watcher = std::make_unique<SiteWatcher>(site.config().root.string(), interval);
  const SiteWatcher* watching = watcher.get();
  site.addRoute(kDevEventsPath, kMethodGet, [watching](const HttpRequest& request, HttpResponse& response) {
    answerDevEvents(*watching, request.header("Last-Event-ID"), response);
  });
  return watcher;
}

}  // namespace bw
