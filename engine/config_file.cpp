// Reading --config files into command-line arguments.
#include "engine/config_file.h"

#include <fstream>
#include <sstream>

namespace bw {
namespace {

std::string trimmed(const std::string& text) {
  const char* blanks = " \t\r";
  size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

}  // namespace

bool readConfigFile(const std::string& path, std::vector<std::string>& args, std::string& error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    error = "cannot read the configuration file " + path;
    return false;
  }
  std::ostringstream content;
  content << file.rdbuf();
  const std::string text = content.str();
  if (text.size() > kMaxConfigFileBytes) {
    error = "the configuration file " + path + " is larger than " + std::to_string(kMaxConfigFileBytes) + " bytes";
    return false;
  }
  std::istringstream lines(text);
  std::string line;
  for (size_t number = 1; std::getline(lines, line); ++number) {
    line = trimmed(line);
    if (line.empty() || line[0] == '#') continue;
    const size_t eq = line.find('=');
    const std::string name = trimmed(line.substr(0, eq));
    const std::string where = path + ":" + std::to_string(number) + ": ";
    if (name.empty() || name[0] == '-' || name.find_first_of(" \t") != std::string::npos) {
      error = where + "expected NAME = VALUE, not \"" + line + "\"";
      return false;
    }
    if (name == "config") {
      error = where + "a configuration file cannot name another";
      return false;
    }
    // One argument, "--name=value": an option that takes no value is then
    // refused for having one, not left with a stray word.
    args.push_back("--" + name + (eq == std::string::npos ? "" : "=" + trimmed(line.substr(eq + 1))));
  }
  return true;
}

bool expandConfigFiles(const std::vector<std::string>& args, std::vector<std::string>& out,
                       std::string& error) {
  out.clear();
  std::vector<std::string> fromFiles, rest;
  for (size_t i = 1; i < args.size(); ++i) {
    std::string path;
    if (args[i] == "--config") {
      if (i + 1 >= args.size()) {
        error = "--config needs a value";
        return false;
      }
      path = args[++i];
    } else if (args[i].rfind("--config=", 0) == 0) {
      path = args[i].substr(9);
    } else {
      rest.push_back(args[i]);
      continue;
    }
    if (!readConfigFile(path, fromFiles, error)) return false;
  }
  if (!args.empty()) out.push_back(args[0]);
  out.insert(out.end(), fromFiles.begin(), fromFiles.end());
  out.insert(out.end(), rest.begin(), rest.end());
  return true;
}

}  // namespace bw
