// The live reload's event stream, answered without holding a thread.
//
// The panel's script opens an EventSource on kDevEventsPath.  Each answer is
// short: it names the site watcher's generation as the event id and, when
// the browser's Last-Event-ID (sent by EventSource on every reconnection)
// names an older generation, carries a "reload" event.  Otherwise it asks the
// browser to come back after kDevEventsRetry and ends, so a waiting tab costs
// a request now and then, never a worker thread.
#ifndef BRINDLE_ENGINE_DEV_EVENTS_H
#define BRINDLE_ENGINE_DEV_EVENTS_H

#include <string_view>

#include "engine/http_exchange.h"
#include "engine/site_watcher.h"

namespace bw {

constexpr int kDevEventsRetryMilliseconds = 500;

void answerDevEvents(const SiteWatcher& watcher, std::string_view lastEventId, HttpResponse& response);

}  // namespace bw

#endif
