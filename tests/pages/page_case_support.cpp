// Settings of a page case, and rendering it.
#include "pages/page_case_support.h"

#include <sstream>

#include "tests/engine/render_state.h"

namespace bw {
namespace {

bool splitPair(const std::string& text, std::string& name, std::string& value) {
  size_t eq = text.find('=');
  if (eq == std::string::npos) return false;
  name = text.substr(0, eq);
  value = text.substr(eq + 1);
  return true;
}

}  // namespace

::testing::AssertionResult parseSettings(const std::string& text, CaseSettings& settings) {
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::string word = line.substr(0, line.find(' '));
    std::string rest = line.find(' ') == std::string::npos ? "" : line.substr(line.find(' ') + 1);
    std::string name, value;
    if (word == "var" && splitPair(rest, name, value)) {
      settings.variables[name] = value;
    } else if (word == "param" && splitPair(rest, name, value)) {
      settings.fields.push_back(NamedValue{name, value});
    } else if (word == "region") {
      settings.region = rest;
    } else if (word == "property" && rest.find(' ') != std::string::npos &&
               splitPair(rest.substr(rest.find(' ') + 1), name, value)) {
      std::string region = rest.substr(0, rest.find(' '));
      settings.properties[region == "-" ? "" : region][name] = value;
    } else if (word == "max-tag-calls") {
      settings.limits.maxTagCalls = std::stoull(rest);
    } else if (word == "max-output") {
      settings.limits.maxOutputBytes = std::stoull(rest);
    } else if (word == "max-scanned") {
      settings.limits.maxScannedBytes = std::stoull(rest);
    } else if (word == "max-nesting") {
      settings.limits.maxNesting = static_cast<uint32_t>(std::stoul(rest));
    } else {
      return ::testing::AssertionFailure() << "cannot read the setting \"" << line << "\"";
    }
  }
  return ::testing::AssertionSuccess();
}

CaseResult renderCase(ModuleLibrary& library, const std::string& page, const CaseSettings& settings) {
  RegionProperties properties;
  properties.region = settings.region;
  auto stored = settings.properties.find(settings.region);
  if (stored != settings.properties.end()) properties.values = stored->second;
  PageContext context;
  context.fileName = "page.html";
  context.requestFields = &settings.fields;
  context.variables = settings.variables;
  RenderOutcome outcome = renderFromState(library, page, nullptr, context, &properties, settings.limits).outcome;
  CaseResult result;
  result.output = std::move(outcome.output);
  for (const PageReport& report : outcome.reports) result.reports += formatReport(report);
  result.blocksKept = outcome.stats.blocksKept;
  return result;
}

}  // namespace bw
