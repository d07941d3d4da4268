// Rendering a page from a given starting state (file name, request fields,
// variables, region properties), from its text or from a page compiled once
// and kept, and telling whether two renders agree in everything a caller can
// see: output, reports with their places, limits, stats, the variables left
// behind and the region properties changed.  A kept page must render as its
// text does however often it is rendered: it holds nothing of a render.
#ifndef BRINDLE_TESTS_ENGINE_RENDER_STATE_H
#define BRINDLE_TESTS_ENGINE_RENDER_STATE_H

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <string_view>
#include <utility>

#include "engine/compiled_page.h"
#include "engine/page_renderer.h"

namespace bw {

// A starting state: the file name reports show, request fields and variables.
inline PageContext pageContext(std::string fileName, const NamedValues* requestFields,
                               std::map<std::string, std::string> variables) {
  PageContext c;
  c.fileName = std::move(fileName);
  c.requestFields = requestFields;
  c.variables = std::move(variables);
  return c;
}

struct RenderedState {
  RenderOutcome outcome;
  PageContext context;  // as the render left it
  RegionProperties properties;
};

// Renders with copies of `context` and `properties` (properties may be null).
inline RenderedState renderFromState(ModuleLibrary& library, std::string_view page,
                                     const CompiledPage* compiled, const PageContext& context,
                                     const RegionProperties* properties, const EngineLimits& limits) {
  RenderedState state;
  state.context = context;
  if (properties != nullptr) {
    state.properties = *properties;
    state.context.properties = &state.properties;
  }
  state.outcome = compiled != nullptr ? renderPage(library, *compiled, state.context, limits)
                                      : renderPage(library, page, state.context, limits);
  return state;
}

inline ::testing::AssertionResult sameRendering(const RenderedState& text, const RenderedState& compiled) {
  const RenderOutcome& a = text.outcome;
  const RenderOutcome& b = compiled.outcome;
  auto differ = [](const char* what) { return ::testing::AssertionFailure() << "the compiled page differs in " << what; };
  if (a.output != b.output) return differ("output") << ":\n" << a.output << "\n----\n" << b.output;
  if (a.reports.size() != b.reports.size()) return differ("the number of reports");
  for (size_t i = 0; i < a.reports.size(); ++i) {
    const PageReport& x = a.reports[i];
    const PageReport& y = b.reports[i];
    if (x.file != y.file || x.line != y.line || x.column != y.column || x.tag != y.tag ||
        x.message != y.message || x.hint != y.hint || x.code != y.code || x.limit != y.limit)
      return differ("a report") << ":\n" << formatReport(x) << "----\n" << formatReport(y);
  }
  if (a.stats.tagCalls != b.stats.tagCalls || a.stats.exchanges != b.stats.exchanges ||
      a.stats.yields != b.stats.yields || a.stats.blocksKept != b.stats.blocksKept)
    return differ("stats");
  if (a.tagReportedError != b.tagReportedError || a.stopped != b.stopped) return differ("its ending");
  if (text.context.variables != compiled.context.variables) return differ("the variables left");
  if (text.properties.values != compiled.properties.values || text.properties.changes != compiled.properties.changes)
    return differ("region properties");
  return ::testing::AssertionSuccess();
}

}  // namespace bw

#endif
