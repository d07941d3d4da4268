// brindle render: one page to standard output, reports to standard error.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "engine/commands.h"
#include "engine/module_library.h"
#include "engine/property_store.h"
#include "engine/stream_reading.h"

namespace bw {

int runRender(const Options& options, const std::string& modulePath, std::istream& in,
              std::ostream& out, std::ostream& diagnostics) {
  std::string page;
  std::string fileName = options.file;
  if (options.file == "-") {
    fileName = "<stdin>";
    appendWholeStream(in, page);
  } else {
    std::error_code ec;
    if (std::filesystem::is_directory(options.file, ec)) {
      diagnostics << "brindle: " << options.file
                  << " is a folder; render takes one page (brindle serve --root serves a folder)\n";
      return kExitUsage;
    }
    std::ifstream file(options.file, std::ios::binary);
    if (!file) {
      diagnostics << "brindle: cannot read " << options.file << "\n";
      return kExitUsage;
    }
    appendWholeStream(file, page);
    if (file.bad()) {
      diagnostics << "brindle: cannot read " << options.file << "\n";
      return kExitUsage;
    }
  }

  EngineParts parts;
  if (!openEngineParts(modulePath, options.props.empty() ? ":memory:" : options.props, parts, diagnostics))
    return kExitUsage;
  RegionProperties properties;
  std::string error;
  if (parts.store->load(options.region, properties, error) != StoreStatus::Ok) {
    diagnostics << "brindle: " << error << "\n";
    return kExitUsage;
  }

  PageContext context;
  context.fileName = fileName;
  context.requestFields = &options.params;
  context.properties = &properties;
  for (const NamedValue& v : options.vars) context.variables[v.name] = v.value;

  RenderOutcome outcome = renderPage(*parts.library, page, context, options.limits);
  out.write(outcome.output.data(), static_cast<std::streamsize>(outcome.output.size()));
  out.flush();
  for (const PageReport& report : outcome.reports) diagnostics << formatReport(report);
  if (!out) {  // a full disk or a closed pipe: the page did not arrive
    diagnostics << "brindle: cannot write the page to standard output\n";
    return kExitUsage;
  }
  if (outcome.stats.blocksKept != 0)
    diagnostics << "brindle: warning: the module kept " << outcome.stats.blocksKept
                << " memory blocks past the end of its calls\n";
  return outcome.tagReportedError ? kExitTagError : kExitOk;
}

bool openEngineParts(const std::string& modulePath, const std::string& propsPath, EngineParts& parts,
                     std::ostream& diagnostics) {
  std::string error;
  parts.library = ModuleLibrary::open(modulePath, error);
  if (parts.library) parts.store = PropertyStore::open(propsPath, error);
  if (parts.store) return true;
  diagnostics << "brindle: " << error << "\n";
  return false;
}

}  // namespace bw
