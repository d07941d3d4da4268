// The shared library exports ProcessQELRequest and nothing else: every other
// symbol stays inside, so two modules (or a module and its host) never bind
// to each other's code.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

namespace {

// The names of the defined dynamic symbols, as nm lists them.
std::set<std::string> exportedSymbols(const std::string& library) {
  std::set<std::string> names;
  std::string command = "nm -D --defined-only '" + library + "' 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return names;
  char line[4096];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    // "<address> <type> <name>"; the version node (type A) is not a symbol.
    size_t nameAt = text.rfind(' ');
    if (nameAt == std::string::npos || nameAt < 2) continue;
    char type = text[nameAt - 1];
    if (type == 'A') continue;
    std::string name = text.substr(nameAt + 1);
    size_t version = name.find('@');
    names.insert(version == std::string::npos ? name : name.substr(0, version));
  }
  EXPECT_EQ(pclose(pipe), 0) << "nm failed on " << library;
  return names;
}

TEST(ModuleSymbols, OnlyTheEntryPointIsExported) {
  std::set<std::string> names = exportedSymbols(BRINDLE_MODULE_PATH);
  EXPECT_EQ(names, std::set<std::string>{"ProcessQELRequest"});
}

}  // namespace
