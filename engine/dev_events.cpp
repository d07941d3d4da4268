// One answer of the event stream.
#include "engine/dev_events.h"

#include <string>

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

}  // namespace bw
