// A GoogleTest fixture for tests that link module code statically and call it
// directly, answered by the same test host as the tests that load the real
// module.
//
// A static copy of the module has allocator hooks of its own, so the fixture
// installs the test host's heap into them once per suite; run() then executes
// a piece of module code as the module's part of one request and checks that
// it gave back every block it took.  Values the code produces must leave the
// request as plain data (std::string, bool), never as module objects, which
// would still hold their blocks.
//
//   class MyTest : public bw::test::InProcessTest {};
//   TEST_F(MyTest, Reads) {
//     host.parameters = {{"lhs", "1"}};
//     bool found = false;
//     run([&](const ModuleRequest* request) { ... });
//   }
#ifndef BRINDLEWORK_TESTS_SUPPORT_IN_PROCESS_H
#define BRINDLEWORK_TESTS_SUPPORT_IN_PROCESS_H

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "foundation/allocator.h"
#include "foundation/qel_string.h"
#include "support/test_host.h"

namespace bw::test {

class InProcessTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    installAllocatorHooks(TestHost::allocateFunction(), TestHost::releaseFunction());
  }

  // Runs body during one request with this selector; body's own result is
  // the request's.
  Result runRequest(uint32_t selector, const std::function<uint32_t(const ModuleRequest*)>& body) {
    Result r = host.runInProcess(selector, [&](ModuleRequest* request) { return body(request); });
    EXPECT_TRUE(r.clean()) << r.blocksLeft << " blocks left; " << r.trace();
    return r;
  }

  // Runs body as the module's part of one tag request.
  Result run(const std::function<void(const ModuleRequest*)>& body) {
    return runRequest(MTag, [&](const ModuleRequest* request) {
      body(request);
      return 0u;
    });
  }

  static std::string str(const QelString& s) { return std::string(s.data(), s.length()); }

  TestHost host;
};

}  // namespace bw::test

#endif
