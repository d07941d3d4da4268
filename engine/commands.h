// The two commands of brindle, each returning the process's exit status.
#ifndef BRINDLE_ENGINE_COMMANDS_H
#define BRINDLE_ENGINE_COMMANDS_H

#include <iosfwd>
#include <string>

#include "engine/command_line.h"

namespace bw {

constexpr const char* kEngineVersion = "1.0.0";

int runRender(const Options& options, const std::string& modulePath, std::istream& in,
              std::ostream& out, std::ostream& diagnostics);
int runServe(const Options& options, const std::string& modulePath, std::ostream& out,
             std::ostream& diagnostics);

}  // namespace bw

#endif
