// The live reload's event stream, answered without holding a thread.
//
// The panel's script opens an EventSource on kDevEventsPath.  Each answer is
// short: it names the site watcher's generation as the event id and, when
// the browser's Last-Event-ID (sent by EventSource on every reconnection)
// names another generation, carries a "reload" event.  A page opened by such
// a reload asks with "?seen=N", the generation that caused it, since a new
// EventSource sends no Last-Event-ID; the header wins where both are sent.  Otherwise it asks the
// browser to come back after kDevEventsRetry and ends, so a waiting tab costs
// a request now and then, never a worker thread, and the server can stop
// without waiting on an open stream.
//
// The route exists only in development mode: startDevEvents adds it, and the
// watcher behind it, to a site whose config says `dev`, and to no other.
#ifndef BRINDLE_ENGINE_DEV_EVENTS_H
#define BRINDLE_ENGINE_DEV_EVENTS_H

#include <memory>

#include "engine/http_exchange.h"
#include "engine/site_server.h"
#include "engine/site_watcher.h"

namespace bw {

constexpr int kDevEventsRetryMilliseconds = 500;

void answerDevEvents(const SiteWatcher& watcher, const HttpRequest& request, HttpResponse& response);

// For a site in development mode: a watcher of its root, and the route of
// kDevEventsPath answered from it (add before the server starts; the watcher
// must outlive the server's last request).  Otherwise nothing: null, and
// the path stays the site's own (a 404 unless a file is there).
std::unique_ptr<SiteWatcher> startDevEvents(SiteServer& site,
                                            std::chrono::milliseconds interval = kSiteWatchInterval);

}  // namespace bw

#endif
