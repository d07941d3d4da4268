// Parsing the command line; the help texts.
#include "engine/command_line.h"

#include <cstdlib>
#include <filesystem>

#include "engine/config_file.h"

namespace bw {
namespace {

using Command = Options::Command;

bool parseCount(const std::string& text, uint64_t& out) {
  if (text.empty() || text.size() > 19) return false;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  if (value == 0) return false;
  out = value;
  return true;
}

// The options, with the commands that accept them.  A switch (takesValue
// false) is applied with an empty value.
struct CommandOption {
  const char* name;
  bool render, serve;
  bool (*apply)(Options&, const std::string&, std::string& error);
  bool takesValue = true;
};

bool setCount(uint64_t& field, const char* name, const std::string& value, std::string& error) {
  if (parseCount(value, field)) return true;
  error = std::string(name) + " needs a whole number above 0, not \"" + value + "\"";
  return false;
}

// A whole number of at most `most`, 0 allowed only when `zeroMeans` says what it means.
bool setUnsigned(unsigned& field, const char* name, const std::string& value, unsigned most,
                 const char* zeroMeans, std::string& error) {
  uint64_t n = 0;
  if (value == "0" && zeroMeans != nullptr) {
    field = 0;
    return true;
  }
  if (!parseCount(value, n) || n > most) {
    error = std::string(name) + " needs a whole number from " + (zeroMeans ? "0" : "1") + " to " +
            std::to_string(most) + ", not \"" + value + "\"";
    return false;
  }
  field = static_cast<unsigned>(n);
  return true;
}

bool addNamed(NamedValues& list, const char* option, const std::string& v, std::string& error) {
  size_t eq = v.find('=');
  if (eq == std::string::npos || eq == 0) {
    error = std::string(option) + " needs NAME=VALUE, not \"" + v + "\"";
    return false;
  }
  list.push_back(NamedValue{v.substr(0, eq), v.substr(eq + 1)});
  return true;
}

const CommandOption kOptions[] = {
    {"--var", true, false,
     [](Options& o, const std::string& v, std::string& error) { return addNamed(o.vars, "--var", v, error); }},
    {"--param", true, false,
     [](Options& o, const std::string& v, std::string& error) { return addNamed(o.params, "--param", v, error); }},
    {"--region", true, false, [](Options& o, const std::string& v, std::string&) { o.region = v; return true; }},
    {"--props", true, true, [](Options& o, const std::string& v, std::string&) { o.props = v; return true; }},
    {"--module", true, true, [](Options& o, const std::string& v, std::string&) { o.module = v; return true; }},
    {"--root", false, true, [](Options& o, const std::string& v, std::string&) { o.root = v; return true; }},
    {"--listen", false, true, [](Options& o, const std::string& v, std::string&) { o.listen = v; return true; }},
    {"--access-log", false, true,
     [](Options& o, const std::string& v, std::string&) { o.accessLog = v; return true; }},
    {"--static-cache-control", false, true,
     [](Options& o, const std::string& v, std::string& error) {
       if (v.find_first_of("\r\n") != std::string::npos) {
         error = "--static-cache-control must be one line";
         return false;
       }
       o.staticCacheControl = v;
       return true;
     }},
    {"--threads", false, true,
     [](Options& o, const std::string& v, std::string& error) {
       return setUnsigned(o.http.threads, "--threads", v, 256, nullptr, error);
     }},
    {"--max-connections", false, true,
     [](Options& o, const std::string& v, std::string& error) {
       return setUnsigned(o.http.maxConnections, "--max-connections", v, 1000000, nullptr, error);
     }},
    {"--max-connections-per-address", false, true,
     [](Options& o, const std::string& v, std::string& error) {
       return setUnsigned(o.http.maxPerAddress, "--max-connections-per-address", v, 1000000, "no limit", error);
     }},
    {"--idle-timeout", false, true,
     [](Options& o, const std::string& v, std::string& error) {
       return setUnsigned(o.http.idleSeconds, "--idle-timeout", v, 86400, nullptr, error);
     }},
    {"--header-timeout", false, true,
     [](Options& o, const std::string& v, std::string& error) {
       return setUnsigned(o.http.headerSeconds, "--header-timeout", v, 86400, nullptr, error);
     }},
    {"--body-timeout", false, true,
     [](Options& o, const std::string& v, std::string& error) {
       return setUnsigned(o.http.bodySeconds, "--body-timeout", v, 86400, nullptr, error);
     }},
    {"--max-tag-calls", true, true,
     [](Options& o, const std::string& v, std::string& error) {
       return setCount(o.limits.maxTagCalls, "--max-tag-calls", v, error);
     }},
    {"--max-output", true, true,
     [](Options& o, const std::string& v, std::string& error) {
       return setCount(o.limits.maxOutputBytes, "--max-output", v, error);
     }},
    {"--max-nesting", true, true,
     [](Options& o, const std::string& v, std::string& error) {
       uint64_t n = 0;
       if (!setCount(n, "--max-nesting", v, error)) return false;
       if (n > 100000) {
         error = "--max-nesting must be at most 100000";
         return false;
       }
       o.limits.maxNesting = static_cast<uint32_t>(n);
       return true;
     }},
    {"--max-scanned", true, true,
     [](Options& o, const std::string& v, std::string& error) {
       return setCount(o.limits.maxScannedBytes, "--max-scanned", v, error);
     }},
    {"--max-render-time", true, true,
     [](Options& o, const std::string& v, std::string& error) {
       // 0 turns the wall-clock limit off: the other limits still bound the page.
       if (v == "0") {
         o.limits.maxRenderMillis = 0;
         return true;
       }
       return setCount(o.limits.maxRenderMillis, "--max-render-time", v, error);
     }},
    {"--dev", false, true, [](Options& o, const std::string&, std::string&) { o.dev = true; return true; }, false},
};

}  // namespace

bool parseCommandLine(const std::vector<std::string>& commandLine, Options& options, std::string& error) {
  // serve's --config files become options in front of the command line's own,
  // so that the command line wins.
  std::vector<std::string> args = commandLine;
  if (!args.empty() && args[0] == "serve" && !expandConfigFiles(commandLine, args, error)) return false;
  if (args.empty()) {
    error = "no command given";
    return false;
  }
  const std::string& first = args[0];
  if (first == "--version" || first == "version") {
    options.command = Command::Version;
    // The module it would load may be named, so that its identity is shown.
    if (args.size() == 3 && args[1] == "--module") options.module = args[2];
    return args.size() == 1 || args.size() == 3 ? true : (error = "--version takes only --module PATH", false);
  }
  if (first == "--help" || first == "-h" || first == "help") return options.command = Command::Help, true;
  if (first == "check") return parseCheckArguments(args, options, error);
  if (first == "render")
    options.command = Command::Render;
  else if (first == "serve")
    options.command = Command::Serve;
  else {
    error = "unknown command \"" + first + "\"";
    return false;
  }
  const bool render = options.command == Command::Render;
  bool haveFile = false;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      options.help = true;
      return true;
    }
    std::string name = arg, value;
    bool inlineValue = false;
    if (arg.rfind("--", 0) == 0 && arg.find('=') != std::string::npos) {
      name = arg.substr(0, arg.find('='));
      value = arg.substr(arg.find('=') + 1);
      inlineValue = true;
    }
    const CommandOption* option = nullptr;
    for (const CommandOption& candidate : kOptions)
      if (name == candidate.name) option = &candidate;
    if (option != nullptr) {
      if (!(render ? option->render : option->serve)) {
        error = name + " is not an option of " + first;
        return false;
      }
      if (!option->takesValue && inlineValue) {
        error = name + " takes no value";
        return false;
      }
      if (option->takesValue && !inlineValue) {
        // The next option is not a value: a configuration line "listen"
        // with nothing after it must not take the option that follows.
        if (i + 1 >= args.size() || args[i + 1].rfind("--", 0) == 0) {
          error = name + " needs a value";
          return false;
        }
        value = args[++i];
      }
      if (!option->apply(options, value, error)) return false;
      continue;
    }
    if (arg.size() > 1 && arg[0] == '-') {
      error = "unknown option " + arg;
      return false;
    }
    if (!render || haveFile) {
      error = "unexpected argument \"" + arg + "\"";
      return false;
    }
    options.file = arg;
    haveFile = true;
  }
  if (render && !haveFile) {
    error = "render needs a page file, or - for standard input";
    return false;
  }
  if (!render && options.root.empty()) {
    error = "serve needs --root DIR";
    return false;
  }
  return true;
}

std::string usageText(Command command) {
  const std::string limits =
      "  --max-tag-calls N   stop a page after N tag calls (default 1000000)\n"
      "  --max-output BYTES  stop a page whose output passes BYTES (default 67108864)\n"
      "  --max-nesting N     stop at bodies or answers nested deeper than N (default 200)\n"
      "  --max-scanned BYTES stop a page whose tags need more than BYTES scanned and\n"
      "                      exchanged with the module (default 67108864)\n"
      "  --max-render-time MS  stop a page after MS milliseconds, 0 for none (default 10000)\n"
      "  --module PATH       the tag module (default: libbrindlework.so of the build)\n";
  using L = HttpLimits;
  const std::string httpLimits =
      "HTTP limits:\n"
      "  --threads N         threads that answer requests (default: one per core)\n"
      "  --max-connections N open connections in all (default " + std::to_string(L::kDefaultMaxConnections) + ")\n"
      "  --max-connections-per-address N  from one client address (default " +
      std::to_string(L::kDefaultPerAddress) + "; 0: no limit)\n"
      "  --idle-timeout S    close a connection silent for S seconds (default " +
      std::to_string(L::kDefaultIdleSeconds) + ")\n"
      "  --header-timeout S  the request line and headers must arrive within S seconds\n"
      "                      of the connection's opening or its previous answer (default " +
      std::to_string(L::kDefaultHeaderSeconds) + ")\n"
      "  --body-timeout S    a request body must arrive within S seconds of its headers (default " +
      std::to_string(L::kDefaultBodySeconds) + ")\n"
      "  Request bodies over " + std::to_string(L::kMaxRequestBody) + " bytes answer 413, more than " +
      std::to_string(L::kMaxHeaderFields) + " header fields 431,\n"
      "  a request line and headers over " + std::to_string(L::kConnectionMemory / 1024) +
      " KiB together 431 or 414.\n";
  if (command == Command::Render)
    return "usage: brindle render FILE|- [options]\n"
           "Renders one page to standard output; reports go to standard error.\n"
           "Exit status: 0 rendered, 1 a tag reported an error or a limit stopped the page,\n"
           "2 usage or file error.\n"
           "  --var NAME=VALUE    set page variable NAME, read as ${NAME} (repeatable)\n"
           "  --param NAME=VALUE  set request field NAME, read as ${param.NAME} (repeatable)\n"
           "  --region NAME       the region whose properties apply (default: the root, \"\")\n"
           "  --props STORE       region properties: an SQLite file, or postgresql:... for a\n"
           "                      PostgreSQL database (default: in memory)\n" +
           limits;
  if (command == Command::Serve)
    return "usage: brindle serve --root DIR [options]\n"
           "Serves DIR over HTTP: .html files as pages, other files as they are.\n"
           "A page's region is its folder relative to DIR (\"\" for DIR itself).\n"
           "  --listen HOST:PORT  address to listen on (default 127.0.0.1:8080; port 0 picks one)\n"
           "  --props STORE       region properties: an SQLite file (default: brindle.db beside\n"
           "                      DIR), or a PostgreSQL database that several servers share:\n"
           "                      postgresql://USER@HOST/DB or postgresql:KEY=VALUE ...\n"
           "  --access-log FILE|- one line per request in the Combined Log Format (default: none)\n"
           "  --static-cache-control VALUE  Cache-Control of static files (default: no-cache);\n"
           "                      pages are always sent with Cache-Control: no-store\n"
           "  --config FILE       read options from FILE, one NAME = VALUE a line; the command\n"
           "                      line wins\n"
           "  --dev               development mode, for authors on their own machine: every\n"
           "                      page ends with a panel of its reports (place, message, hint;\n"
           "                      a limit that stopped it), and pages reload in the browser\n"
           "                      when a file under DIR changes.  Never on a public server.\n" +
           httpLimits +
           "Exit status: 0 stopped by SIGINT or SIGTERM, 2 usage error or the address is\n"
           "already in use.\n"
           "The administrator's page is /_brindle/properties?region=R; sign in there with the\n"
           "token from BRINDLE_ADMIN_TOKEN or, when that is unset, a random one printed at start\n"
           "(scripts send it in the header X-Brindle-Token).\n" +
           limits;
  if (command == Command::Check) return checkUsageText();
  return "usage: brindle render FILE|- [options]\n"
         "       brindle serve --root DIR [options]\n"
         "       brindle check PATH... [--format json]\n"
         "       brindle --version\n"
         "Run brindle render --help, brindle serve --help or brindle check --help for the options.\n";
}

std::string resolveModulePath(const Options& options, const std::string& programPath) {
  namespace fs = std::filesystem;
  if (!options.module.empty()) return options.module;
  if (const char* env = std::getenv("BRINDLE_MODULE"); env != nullptr && *env != '\0') return env;
  std::error_code ec;
  fs::path program = fs::canonical("/proc/self/exe", ec);
  if (ec) program = fs::path(programPath);
  fs::path beside = program.parent_path().parent_path() / "libbrindlework.so";
  if (fs::exists(beside, ec)) return beside.string();
#ifdef BRINDLE_INSTALLED_MODULE
  // An installed brindle: the module's place relative to the program's
  // folder, fixed when the build was configured (bin -> ../lib/...).
  fs::path installed = program.parent_path() / BRINDLE_INSTALLED_MODULE;
  if (fs::exists(installed, ec)) return installed.lexically_normal().string();
#endif
  return "build/libbrindlework.so";
}

}  // namespace bw
