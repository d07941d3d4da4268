// The development panel of `brindle serve --dev`: a page's reports shown in
// the page itself, and the small script that reloads the page when a file
// under the site's root changes.
//
// Each report shows as the log has it (page_renderer.h, formatReport): its
// place, tag, message, hint, the values the tag received and the tag that
// wrote it.  The panel goes at the end of the body (before the last "</body>", or at the
// end of a page that has none), so the page above it renders as it would for
// a visitor.  Everything in it that came from the page or the module (file
// names, tag names, messages, hints) is decoded from the module's HTML and
// escaped again as text, so a report can never become markup.  The script
// listens to kDevEventsPath (server-sent events) and reloads on any event.
#ifndef BRINDLE_ENGINE_DEV_PANEL_H
#define BRINDLE_ENGINE_DEV_PANEL_H

#include <string>
#include <vector>

#include "engine/page_renderer.h"

namespace bw {

constexpr const char* kDevEventsPath = "/_brindle/dev/events";
constexpr const char* kDevPanelId = "brindle-dev-panel";

// The panel for these reports (nothing when there are none), then the
// reload script.
std::string renderDevPanel(const std::vector<PageReport>& reports);

// Puts `panel` before the last "</body>" (ASCII case ignored), or at the end.
void insertDevPanel(std::string& page, const std::string& panel);

}  // namespace bw

#endif
