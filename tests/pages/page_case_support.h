// Rendering a page case (a page with its settings) through the engine, shared
// by the page cases and by the test of the page-language guide's examples.
//
// Settings, one a line ("#" starts a comment):
//   var NAME=VALUE                a page variable
//   param NAME=VALUE              a request field
//   region NAME                   the page's region ("" when absent)
//   property REGION NAME=VALUE    a stored property ("-" for the root region)
//   max-tag-calls N | max-output N | max-nesting N
#ifndef BRINDLE_TESTS_PAGE_CASE_SUPPORT_H
#define BRINDLE_TESTS_PAGE_CASE_SUPPORT_H

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "engine/module_library.h"
#include "engine/page_renderer.h"

namespace bw {

struct CaseSettings {
  std::map<std::string, std::string> variables;
  NamedValues fields;
  std::string region;
  std::map<std::string, std::map<std::string, std::string>> properties;
  // A case asserts the page and its reports, never the time, so the
  // wall-clock limit is off: a loaded or sanitized machine must not cut a page.
  EngineLimits limits = [] {
    EngineLimits l;
    l.maxRenderMillis = 0;
    return l;
  }();
};

::testing::AssertionResult parseSettings(const std::string& text, CaseSettings& settings);

struct CaseResult {
  std::string output;
  std::string reports;  // as the terminal shows them, for the file "page.html"
  int64_t blocksKept = 0;
};

CaseResult renderCase(ModuleLibrary& library, const std::string& page, const CaseSettings& settings);

#ifdef BRINDLE_MODULE_PATH
// A test suite that loads the real module once, before its first test, and
// unloads it after its last.  Base is ::testing::Test or a TestWithParam.
template <class Base>
class WithModuleLibrary : public Base {
 protected:
  static void SetUpTestSuite() {
    std::string error;
    library = ModuleLibrary::open(BRINDLE_MODULE_PATH, error).release();
    ASSERT_NE(library, nullptr) << error;
  }
  static void TearDownTestSuite() {
    delete library;
    library = nullptr;
  }
  static inline ModuleLibrary* library = nullptr;
};
#endif

}  // namespace bw

#endif
