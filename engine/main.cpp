// The brindle program: parses the command line and runs a command.
#include <iostream>
#include <vector>

#include "engine/commands.h"
#include "engine/module_library.h"

int main(int argc, char** argv) {
  using namespace bw;
  std::vector<std::string> args(argv + 1, argv + argc);
  Options options;
  std::string error;
  if (!parseCommandLine(args, options, error)) {
    std::cerr << "brindle: " << error << "\n" << usageText(options.command);
    return kExitUsage;
  }
  const std::string modulePath = resolveModulePath(options, argv[0]);
  switch (options.command) {
    case Options::Command::Version: {
      std::cout << "brindle " << kEngineVersion << "\n";
      std::unique_ptr<ModuleLibrary> library = ModuleLibrary::open(modulePath, error);
      if (library)
        std::cout << "module: " << library->identity().name << " " << library->identity().version
                  << ", " << library->identity().company << " (" << modulePath << ")\n";
      else
        std::cout << "module: not loaded (" << error << ")\n";
      return kExitOk;
    }
    case Options::Command::Help:
      std::cout << usageText(Options::Command::None);
      return kExitOk;
    case Options::Command::Render:
      if (options.help) return std::cout << usageText(options.command), kExitOk;
      return runRender(options, modulePath, std::cin, std::cout, std::cerr);
    case Options::Command::Serve:
      if (options.help) return std::cout << usageText(options.command), kExitOk;
      return runServe(options, modulePath, std::cout, std::cerr);
    case Options::Command::Check:
      if (options.help) return std::cout << usageText(options.command), kExitOk;
      return runCheck(options, modulePath, std::cout, std::cerr);
    case Options::Command::None:
      break;
  }
  std::cerr << usageText(Options::Command::None);
  return kExitUsage;
}
