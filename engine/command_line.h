// The brindle command line: which command, and its options.
//
//   brindle render FILE|- [--var NAME=VALUE]... [--param NAME=VALUE]...
//                         [--region NAME] [--props FILE]
//                         [--module PATH] [limits]
//   brindle serve --root DIR [--listen 127.0.0.1:8080] [--props FILE]
//                         [--module PATH] [--access-log FILE|-] [--config FILE]
//                         [--static-cache-control VALUE] [--dev] [limits] [HTTP limits]
//   HTTP limits (http_server.h): --threads N  --max-connections N
//                         --max-connections-per-address N  --idle-timeout S
//                         --header-timeout S  --body-timeout S
//   limits: --max-tag-calls N  --max-output BYTES  --max-nesting N
//           --max-scanned BYTES  --max-render-time MS
//   brindle check PATH... [--format text|json] [--module PATH]
//   brindle --version | --help,  brindle COMMAND --help
#ifndef BRINDLE_ENGINE_COMMAND_LINE_H
#define BRINDLE_ENGINE_COMMAND_LINE_H

#include <string>
#include <vector>

#include "engine/host_session.h"
#include "engine/http_server.h"
#include "engine/page_renderer.h"
#include "engine/static_files.h"

namespace bw {

constexpr int kExitOk = 0;
constexpr int kExitTagError = 1;
constexpr int kExitUsage = 2;

struct Options {
  enum class Command { None, Render, Serve, Check, Version, Help } command = Command::None;
  bool help = false;  // --help after a command
  std::string file;   // render: the page, "-" for standard input
  NamedValues vars;   // render: --var, page variables
  NamedValues params;  // render: --param, request fields (${param.NAME})
  std::string region;
  std::string props;  // empty: the command's default
  std::string module;  // empty: the default module path
  std::string root;
  std::string listen = "127.0.0.1:8080";
  EngineLimits limits;
  HttpLimits http;           // serve
  std::string accessLog;     // serve: empty for none, "-" for standard output
  std::string staticCacheControl = kDefaultStaticCacheControl;  // serve
  std::vector<std::string> paths;  // check: the pages and folders
  bool json = false;               // check: --format json
  bool dev = false;                // serve: --dev, reports in the pages and the live reload
};

// False with a message when the arguments do not make a command.
bool parseCommandLine(const std::vector<std::string>& args, Options& options, std::string& error);

std::string usageText(Options::Command command);

// The arguments after "check", and its help (check_command.cpp).
bool parseCheckArguments(const std::vector<std::string>& args, Options& options, std::string& error);
std::string checkUsageText();

// --module, else $BRINDLE_MODULE, else libbrindlework.so in the build folder
// the program sits in (build/engine/brindle -> build/libbrindlework.so), else
// the installed module beside an installed program (bin/brindle ->
// lib/libbrindlework.so.2), else build/libbrindlework.so under the current
// folder.
std::string resolveModulePath(const Options& options, const std::string& programPath);

}  // namespace bw

#endif
