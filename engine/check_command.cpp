// brindle check: its arguments, the pages it reads (files, and the .html and
// .htm files under folders, in name order), its output and exit status.
//
// Patterns are judged by the real module: a qelString in the mode
// regularExpression with the pattern and an empty text is rendered, and a
// report means the module rejects it.  The module is loaded at the first
// pattern; when it cannot be, patterns go unjudged and a warning says so.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>

#include "engine/commands.h"
#include "engine/page_check.h"
#include "engine/page_renderer.h"
#include "engine/stream_reading.h"
#include "engine/text_util.h"

namespace bw {

bool parseCheckArguments(const std::vector<std::string>& args, Options& options, std::string& error) {
  options.command = Options::Command::Check;
  for (size_t i = 1; i < args.size(); ++i) {
    std::string arg = args[i], value;
    const bool inlineValue = arg.rfind("--", 0) == 0 && arg.find('=') != std::string::npos;
    if (inlineValue) {
      value = arg.substr(arg.find('=') + 1);
      arg = arg.substr(0, arg.find('='));
    }
    if (arg == "--help" || arg == "-h") {
      options.help = true;
      return true;
    }
    if (arg == "--format" || arg == "--module") {
      if (!inlineValue) {
        if (i + 1 >= args.size()) return error = arg + " needs a value", false;
        value = args[++i];
      }
      if (arg == "--module") {
        options.module = value;
      } else if (value == "json" || value == "text") {
        options.json = value == "json";
      } else {
        return error = "--format is text or json, not \"" + value + "\"", false;
      }
      continue;
    }
    if (arg.size() > 1 && arg[0] == '-') return error = "unknown option " + arg + " for check", false;
    options.paths.push_back(args[i]);
  }
  if (options.paths.empty()) return error = "check needs a page or a folder", false;
  return true;
}

std::string checkUsageText() {
  return "usage: brindle check PATH... [options]\n"
         "Reads pages without rendering them and reports what cannot be meant: misspelt tags,\n"
         "parameters and keywords, missing parameters, unbalanced tags, qelMath bodies the\n"
         "evaluator would read otherwise, patterns the module rejects, loops that share an\n"
         "index name, malformed ${...} references.  Folders are searched for .html and .htm.\n"
         "Exit status: 0 no errors (warnings allowed), 1 errors, 2 usage or file error.\n"
         "  --format text|json  file:line:col: error|warning: message lines (default), or JSON\n"
         "  --module PATH       the tag module that judges patterns (default: that of the build)\n";
}

namespace {

namespace fs = std::filesystem;

bool isPage(const fs::path& path) {
  std::string extension = path.extension().string();
  return equalsIgnoringCase(extension, ".html") || equalsIgnoringCase(extension, ".htm");
}

bool collectPages(const std::string& argument, std::vector<std::string>& pages, std::ostream& diagnostics) {
  std::error_code ec;
  if (fs::is_directory(argument, ec)) {
    std::vector<std::string> found;
    for (fs::recursive_directory_iterator it(argument, ec), end; !ec && it != end; it.increment(ec))
      if (it->is_regular_file(ec) && isPage(it->path())) found.push_back(it->path().string());
    if (ec) {
      diagnostics << "brindle: cannot read the folder " << argument << ": " << ec.message() << "\n";
      return false;
    }
    std::sort(found.begin(), found.end());
    pages.insert(pages.end(), found.begin(), found.end());
    return true;
  }
  if (!fs::is_regular_file(argument, ec)) {
    diagnostics << "brindle: cannot read " << argument << ": no such page or folder\n";
    return false;
  }
  pages.push_back(argument);
  return true;
}

// Judges patterns through the module, loaded once, at the first pattern.
class ModulePatternJudge {
 public:
  ModulePatternJudge(std::string modulePath, std::ostream& diagnostics)
      : modulePath_(std::move(modulePath)), diagnostics_(diagnostics) {}

  bool operator()(std::string_view pattern, std::string& reason) {
    if (!tried_) {
      tried_ = true;
      std::string error;
      library_ = ModuleLibrary::open(modulePath_, error);
      if (!library_) diagnostics_ << "brindle: warning: patterns are not checked: " << error << "\n";
    }
    if (!library_) return true;
    PageContext context;
    context.fileName = "pattern";
    context.variables["pattern"] = std::string(pattern);
    RenderOutcome outcome =
        renderPage(*library_, "<qelString mode=\"regularExpression\" regularExpression=\"${pattern}\"></qelString>",
                   context);
    if (outcome.reports.empty()) return true;
    reason = "the module says \"" + decodeEntities(outcome.reports.front().message) + "\"";
    return false;
  }

 private:
  std::string modulePath_;
  std::ostream& diagnostics_;
  bool tried_ = false;
  std::unique_ptr<ModuleLibrary> library_;
};

}  // namespace

int runCheck(const Options& options, const std::string& modulePath, std::ostream& out,
             std::ostream& diagnostics) {
  std::vector<std::string> pages;
  bool unreadable = false;
  for (const std::string& path : options.paths) unreadable = !collectPages(path, pages, diagnostics) || unreadable;
  ModulePatternJudge moduleJudge(modulePath, diagnostics);
  PatternJudge judge = [&moduleJudge](std::string_view pattern, std::string& reason) {
    return moduleJudge(pattern, reason);
  };
  std::vector<CheckDiagnostic> all;
  for (const std::string& page : pages) {
    std::ifstream file(page, std::ios::binary);
    std::string text;
    const bool opened = static_cast<bool>(file);
    if (opened) appendWholeStream(file, text);
    if (!opened || file.bad()) {
      diagnostics << "brindle: cannot read " << page << "\n";
      unreadable = true;
      continue;
    }
    std::vector<CheckDiagnostic> found = checkPage(page, text, judge);
    all.insert(all.end(), found.begin(), found.end());
  }
  size_t errors = 0;
  for (const CheckDiagnostic& d : all) errors += d.severity == CheckSeverity::Error;
  if (options.json) {
    out << diagnosticsAsJson(all);
  } else {
    for (const CheckDiagnostic& d : all) out << formatDiagnostic(d);
  }
  out.flush();
  diagnostics << "brindle: checked " << pages.size() << (pages.size() == 1 ? " page: " : " pages: ") << errors
              << (errors == 1 ? " error, " : " errors, ") << all.size() - errors
              << (all.size() - errors == 1 ? " warning\n" : " warnings\n");
  if (unreadable || !out) return kExitUsage;
  return errors != 0 ? kExitTagError : kExitOk;
}

}  // namespace bw
