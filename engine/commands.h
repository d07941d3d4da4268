// The commands of brindle, each returning the process's exit status.
#ifndef BRINDLE_ENGINE_COMMANDS_H
#define BRINDLE_ENGINE_COMMANDS_H

#include <iosfwd>
#include <memory>
#include <string>

#include "engine/command_line.h"
#include "engine/module_library.h"
#include "engine/property_store.h"

namespace bw {

constexpr const char* kEngineVersion = "1.0.0";

// The module and the properties store both commands start with; false, with
// the reason written to `diagnostics`, when either cannot be opened.
struct EngineParts {
  std::unique_ptr<ModuleLibrary> library;
  std::unique_ptr<PropertyStore> store;
};
bool openEngineParts(const std::string& modulePath, const std::string& propsPath, EngineParts& parts,
                     std::ostream& diagnostics);

int runRender(const Options& options, const std::string& modulePath, std::istream& in,
              std::ostream& out, std::ostream& diagnostics);
int runServe(const Options& options, const std::string& modulePath, std::ostream& out,
             std::ostream& diagnostics);
// Exit 0 when no page has an error, 1 when one has, 2 when a path cannot be read.
int runCheck(const Options& options, const std::string& modulePath, std::ostream& out,
             std::ostream& diagnostics);

}  // namespace bw

#endif
