// The development panel: what it shows, that nothing in a report becomes
// markup, and where it goes in the page.
#include <gtest/gtest.h>

#include "engine/dev_panel.h"

namespace bw {
namespace {

PageReport report(std::string tag, std::string message, std::string hint, bool limit = false) {
  PageReport r;
  r.file = "shop/page.html";
  r.line = 4;
  r.column = 7;
  r.tag = std::move(tag);
  r.message = std::move(message);
  r.hint = std::move(hint);
  r.limit = limit;
  return r;
}

TEST(DevPanel, ShowsEachReportWithItsPlaceMessageAndHint) {
  std::string panel = renderDevPanel({report("qelMath", "The equation was improperly formatted.",
                                             "Please check the syntax of your equation.")});
  EXPECT_NE(panel.find("id=\"brindle-dev-panel\""), std::string::npos);
  EXPECT_NE(panel.find("brindle: 1 report<"), std::string::npos) << panel;
  EXPECT_NE(panel.find("<code>shop/page.html:4:7</code> <code>&lt;qelMath&gt;</code> <b>error:</b> "
                       "The equation was improperly formatted.<br><small>hint: Please check the syntax of "
                       "your equation.</small>"),
            std::string::npos)
      << panel;
  EXPECT_EQ(panel.find("a limit stopped"), std::string::npos);
}

TEST(DevPanel, ShowsWhatTheTagReceivedAndTheTagThatWroteIt) {
  PageReport r = report("qelMath", "The equation was improperly formatted.", "");
  r.received = "expression=&quot; * 2&quot;";
  r.writtenBy = "qelLoop";
  std::string panel = renderDevPanel({r});
  EXPECT_NE(panel.find("formatted.<br><small>received: expression=&quot; * 2&quot;</small>"
                       "<br><small>note: the tag stands in text that &lt;qelLoop&gt; wrote, not in the page</small>"),
            std::string::npos)
      << panel;
  EXPECT_EQ(panel.find("hint:"), std::string::npos) << panel;
}

TEST(DevPanel, NothingInAReportBecomesMarkup) {
  // The module writes its messages as HTML with entities; tag names and
  // values inside them come from the page, and a visitor may have chosen them.
  PageReport hostile = report("qelIf<img src=x onerror=alert(1)>",
                              "An &lt;qelIf&gt; tag <script>alert(1)</script> &quot;x&quot;", "<b>bold</b>");
  hostile.received = "<i>received</i> &lt;script&gt;";
  hostile.writtenBy = "x><svg onload=alert(1)>";
  std::string panel = renderDevPanel({hostile});
  const std::string withoutScript = panel.substr(0, panel.find("<script>(function()"));
  EXPECT_EQ(withoutScript.find("<script"), std::string::npos) << panel;
  EXPECT_EQ(withoutScript.find("<img"), std::string::npos) << panel;
  EXPECT_EQ(withoutScript.find("<b>bold"), std::string::npos) << panel;
  EXPECT_EQ(withoutScript.find("<i>"), std::string::npos) << panel;
  EXPECT_EQ(withoutScript.find("<svg"), std::string::npos) << panel;
  EXPECT_NE(panel.find("An &lt;qelIf&gt; tag &lt;script&gt;alert(1)&lt;/script&gt; &quot;x&quot;"), std::string::npos)
      << panel;
  EXPECT_NE(panel.find("&lt;qelIf&lt;img src=x onerror=alert(1)&gt;&gt;"), std::string::npos) << panel;
}

TEST(DevPanel, SaysWhenALimitStoppedThePage) {
  std::string panel = renderDevPanel({report("qelMath", "x", ""),
                                      report("", "The page made 1000 tag calls, the limit.", "", true)});
  EXPECT_NE(panel.find("brindle: 2 reports; a limit stopped the page, and the rest of it is left out"),
            std::string::npos)
      << panel;
  EXPECT_NE(panel.find("<li class=\"brindle-limit\"><code>shop/page.html:4:7</code> <b>limit:</b> The page made"),
            std::string::npos)
      << panel;
  EXPECT_EQ(panel.find("<small>hint: </small>"), std::string::npos);
}

TEST(DevPanel, WithoutReportsOnlyTheReloadScript) {
  std::string panel = renderDevPanel({});
  EXPECT_EQ(panel.rfind("<script>", 0), 0u) << panel;
  EXPECT_NE(panel.find("new EventSource(\"/_brindle/dev/events\"+q)"), std::string::npos) << panel;
  EXPECT_NE(panel.find("location.reload()"), std::string::npos);
}

TEST(DevPanel, GoesBeforeTheLastBodyEndTagOrAtTheEnd) {
  struct Case {
    const char* page;
    const char* result;
  } const cases[] = {
      {"<html><body>a</body></html>", "<html><body>a[P]</body></html>"},
      {"<BODY>a</Body>\n", "<BODY>a[P]</Body>\n"},
      {"<body>code: \"</body>\"</body>", "<body>code: \"</body>\"[P]</body>"},
      {"just text", "just text[P]"},
      {"", "[P]"},
      {"</body", "</body[P]"},
  };
  for (const Case& c : cases) {
    std::string page = c.page;
    insertDevPanel(page, "[P]");
    EXPECT_EQ(page, c.result) << c.page;
  }
}

}  // namespace
}  // namespace bw
