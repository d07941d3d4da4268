// The engine tests' fixture: the fake module, loaded once per test suite
// through the same ModuleLibrary the engine uses.
#ifndef BRINDLE_TESTS_ENGINE_FAKE_MODULE_FIXTURE_H
#define BRINDLE_TESTS_ENGINE_FAKE_MODULE_FIXTURE_H

#include <gtest/gtest.h>

#include <string>

#include "engine/module_library.h"

namespace bw {

class WithFakeModule : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string error;
    library = ModuleLibrary::open(FAKE_MODULE_PATH, error).release();
    ASSERT_NE(library, nullptr) << error;
  }
  static void TearDownTestSuite() {
    delete library;
    library = nullptr;
  }

  static inline ModuleLibrary* library = nullptr;
};

}  // namespace bw

#endif
