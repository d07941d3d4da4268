// Rendering one page through the module.
//
// The renderer walks a compiled page (compiled_page.h): a page rendered from
// its text is compiled first, so that one walk serves both.  Text is copied
// to the output with its ${...} references expanded; each registered tag is
// handed to the module and replaced by the module's answer:
//   - a tag without body (0x20) is replaced by the answer as it stands;
//   - a tag with a data body (0x10) has the tags inside its body processed
//     first, and the resulting text is what the module reads as the body;
//   - a tag with a raw body (0x02) receives the body unprocessed, and the
//     answer takes its place in the page: it is compiled and walked before
//     the page goes on (an answer that is a stretch of the body, as a true
//     qelIf's is, is walked as the body's own compiled items instead).
// After a tag the walk goes on from where it stands, and only raw-body
// answers, which the module built from the page author's own body, can hold
// tags.  Error reports name the file, line and column of the tag; the page
// goes on after them.  The limits stop a page that runs away.
#ifndef BRINDLE_ENGINE_PAGE_RENDERER_H
#define BRINDLE_ENGINE_PAGE_RENDERER_H

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "engine/compiled_page.h"
#include "engine/host_session.h"
#include "engine/module_library.h"
#include "engine/outside_text.h"

namespace bw {

struct EngineLimits {
  static constexpr uint64_t kDefaultTagCalls = 1000000;
  static constexpr uint64_t kDefaultOutputBytes = 64ull * 1024 * 1024;
  static constexpr uint32_t kDefaultNesting = 200;
  static constexpr uint64_t kDefaultScannedBytes = CompiledText::kDefaultScanBudget;
  static constexpr uint64_t kDefaultRenderMillis = 10000;

  uint64_t maxTagCalls = kDefaultTagCalls;      // module calls per page
  uint64_t maxOutputBytes = kDefaultOutputBytes;  // the page, and each processed body
  // Processed bodies inside one another, and answers inside one another:
  // a tag the author wrote in another's body nests one deeper.
  uint32_t maxNesting = kDefaultNesting;
  // Bytes scanned for tags (the page, and each answer compiled), handed to
  // the module as bodies and taken back as answers, per page: what a page
  // nested very deep costs, each level handing the module the rest.
  uint64_t maxScannedBytes = kDefaultScannedBytes;
  // Wall-clock time per page, looked at before each tag call; 0: none.
  uint64_t maxRenderMillis = kDefaultRenderMillis;
};

struct PageReport {
  std::string file;
  size_t line = 0;    // from 1
  size_t column = 0;  // from 1, in bytes
  std::string tag;    // as spelled in the page; empty for the engine's own reports
  std::string message;  // HTML, as the module wrote it
  std::string hint;
  uint32_t code = 0;  // the tag's result
  bool limit = false;  // the page was stopped here
  // HTML: the values the tag received that differ from what the page shows
  // (references expanded, a body processed), cut short; empty when none.
  std::string received;
  // The tag stands in text that this tag wrote (a loop's continuation), not
  // in the page; the place is then that tag's.
  std::string writtenBy;
};

// Terminal form, entities decoded: "page.html:3:7: <qelIf>: error: message\n",
// then "  hint: ...", "  received: ..." and "  note: ..." lines when there
// is a hint, a value received or a writing tag to name.
std::string formatReport(const PageReport& report);

struct PageContext {
  std::string fileName;  // shown in reports
  const NamedValues* requestFields = nullptr;
  std::map<std::string, std::string> variables;
  OutsideMarks outsideVariables;  // the variables tags set from values a visitor sent
  const RegionProperties* properties = nullptr;  // null: no properties, every tag enabled
};

struct RenderStats {
  uint64_t tagCalls = 0;
  uint64_t exchanges = 0;
  uint64_t yields = 0;
  int64_t blocksKept = 0;  // module allocations not released by the end of their call
};

struct RenderOutcome {
  std::string output;
  std::vector<PageReport> reports;
  RenderStats stats;
  bool tagReportedError = false;
  bool stopped = false;  // a limit was reached
};

RenderOutcome renderPage(ModuleLibrary& library, std::string_view page, PageContext& context,
                         const EngineLimits& limits = EngineLimits());

// The same for a page compiled once (compiled_page.h), with the same result
// as rendering its text; the page must have been compiled for this library.
RenderOutcome renderPage(ModuleLibrary& library, const CompiledPage& page, PageContext& context,
                         const EngineLimits& limits = EngineLimits());

}  // namespace bw

#endif
