// One answer of the event stream, and its route.
#include "engine/dev_events.h"

#include <string>

#include "engine/dev_panel.h"
#include "engine/web_forms.h"

namespace bw {

namespace {

// The generation the browser saw last; empty when it has seen none.
std::string seenGeneration(const HttpRequest& request) {
  if (request.hasHeader("Last-Event-ID")) return std::string(request.header("Last-Event-ID"));
  NamedValues fields;
  appendUrlEncodedFields(request.query, fields);
  for (const NamedValue& field : fields)
    if (field.name == "seen") return field.value;
  return std::string();
}

}  // namespace

void answerDevEvents(const SiteWatcher& watcher, const HttpRequest& request, HttpResponse& response) {
  const std::string generation = std::to_string(watcher.generation());
  const std::string seen = seenGeneration(request);
  response.status = 200;
  response.setHeader("Content-Type", "text/event-stream");
  response.setHeader("Cache-Control", "no-store");
  response.body = "retry: " + std::to_string(kDevEventsRetryMilliseconds) + "\nid: " + generation + "\n";
  // A first connection only learns where the site stands.
  if (!seen.empty() && seen != generation) response.body += "data: reload\n";
  response.body += "\n";
}

std::unique_ptr<SiteWatcher> startDevEvents(SiteServer& site, std::chrono::milliseconds interval) {
  if (!site.config().dev) return nullptr;
  auto watcher = std::make_unique<SiteWatcher>(site.config().root.string(), interval);
  const SiteWatcher* watching = watcher.get();
  site.addRoute(kDevEventsPath, kMethodGet, [watching](const HttpRequest& request, HttpResponse& response) {
    answerDevEvents(*watching, request, response);
  });
  return watcher;
}

}  // namespace bw
