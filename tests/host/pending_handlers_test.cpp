// A build without a tag's real handler answers that tag honestly: an error
// report for the page author and MUnF, never a silent success.
#include <gtest/gtest.h>

#include "foundation/allocator.h"
#include "host/tag_handlers.h"
#include "support/test_host.h"

namespace bw {
namespace {

TEST(PendingHandlers, ReportTheTagAsUnavailable) {
  installAllocatorHooks(test::TestHost::allocateFunction(), test::TestHost::releaseFunction());
  TagHandler handlers[] = {handleCondition, handleSwitch, handleLoop, handleString, handleMath};
  test::TestHost host;
  for (TagHandler handler : handlers) {
    test::Result r = host.runInProcess(MTag, [&](ModuleRequest* request) {
      QelString output;
      return handler(request, output, 0);
    });
    EXPECT_EQ(r.result, MUnF);
    ASSERT_EQ(r.errors.size(), 1u);
    EXPECT_EQ(r.errors[0].message, "This tag is not available in this build.");
    EXPECT_EQ(r.blocksLeft, 0);
  }
}

}  // namespace
}  // namespace bw
