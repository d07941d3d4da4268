// The panel's markup: one list item per report, a limit that stopped the
// page marked as such, and the reload script.
#include "engine/dev_panel.h"

#include "engine/text_util.h"

namespace bw {
namespace {

// Inline styles, so that no style sheet of the site can hide the panel and
// the panel's look changes nothing of the site.
constexpr const char* kPanelStyle =
    "position:relative;z-index:2147483647;margin:2em 0 0;padding:.75em 1em;"
    "border-top:4px solid #b3261e;background:#fff8f7;color:#1d1b1a;"
    "font:14px/1.45 ui-monospace,Menlo,Consolas,monospace;text-align:left";

void appendText(std::string& out, const std::string& moduleHtml) { appendHtmlEscaped(out, decodeEntities(moduleHtml)); }

// A line under the message ("hint: ..."), when there is something to say.
void appendDetail(std::string& out, const char* label, const std::string& moduleHtml) {
  if (moduleHtml.empty()) return;
  out += "<br><small>";
  out += label;
  out += ": ";
  appendText(out, moduleHtml);
  out += "</small>";
}

}  // namespace

std::string renderDevPanel(const std::vector<PageReport>& reports) {
  std::string out;
  if (!reports.empty()) {
    bool stopped = false;
    for (const PageReport& report : reports) stopped = stopped || report.limit;
    out += "<div id=\"";
    out += kDevPanelId;
    out += "\" role=\"status\" style=\"";
    out += kPanelStyle;
    out += "\"><strong>brindle: ";
    out += std::to_string(reports.size());
    out += reports.size() == 1 ? " report" : " reports";
    if (stopped) out += "; a limit stopped the page, and the rest of it is left out";
    out += "</strong><ol style=\"margin:.5em 0 0;padding-left:1.5em\">";
    for (const PageReport& report : reports) {
      out += report.limit ? "<li class=\"brindle-limit\">" : "<li class=\"brindle-error\">";
      out += "<code>";
      appendHtmlEscaped(out, report.file + ":" + std::to_string(report.line) + ":" + std::to_string(report.column));
      out += "</code> ";
      if (!report.tag.empty()) {
        out += "<code>";
        appendHtmlEscaped(out, "<" + report.tag + ">");
        out += "</code> ";
      }
      out += report.limit ? "<b>limit:</b> " : "<b>error:</b> ";
      appendText(out, report.message);
      appendDetail(out, "hint", report.hint);
      appendDetail(out, "received", report.received);
      if (!report.writtenBy.empty()) {
        out += "<br><small>note: the tag stands in text that ";
        appendHtmlEscaped(out, "<" + report.writtenBy + ">");
        out += " wrote, not in the page</small>";
      }
      out += "</li>";
    }
    out += "</ol></div>";
  }
  // The generation that caused a reload is kept across it (sessionStorage)
  // and asked with, so that a change made while the new page was on its way
  // reloads it again instead of being taken for where the site stands.
  out += "<script>(function(){if(!window.EventSource)return;var k=\"brindle-dev-seen\",q=\"\";"
         "try{var v=sessionStorage.getItem(k);sessionStorage.removeItem(k);"
         "if(v)q=\"?seen=\"+encodeURIComponent(v);}catch(e){}var s=new EventSource(\"";
  out += kDevEventsPath;
  out += "\"+q);s.onmessage=function(e){s.close();try{sessionStorage.setItem(k,e.lastEventId);}catch(x){}"
         "location.reload();};})();</script>";
  return out;
}

void insertDevPanel(std::string& page, const std::string& panel) {
  static constexpr std::string_view kBodyEnd = "</body>";
  for (size_t at = page.size(); at >= kBodyEnd.size(); --at) {
    const size_t start = at - kBodyEnd.size();
    if (page[start] == '<' && equalsIgnoringCase(std::string_view(page).substr(start, kBodyEnd.size()), kBodyEnd)) {
      page.insert(start, panel);
      return;
    }
  }
  page += panel;
}

}  // namespace bw
