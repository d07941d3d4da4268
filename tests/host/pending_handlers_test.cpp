// A build without a tag's real handler answers that tag honestly: an error
// report for the page author and MUnF, never a silent success.
#include <gtest/gtest.h>

#include "host/tag_handlers.h"
#include "support/in_process.h"

namespace bw {
namespace {

class PendingHandlers : public test::InProcessTest {};

TEST_F(PendingHandlers, ReportTheTagAsUnavailable) {
  TagHandler handlers[] = {handleCondition, handleSwitch, handleLoop, handleString, handleMath};
  for (TagHandler handler : handlers) {
    test::Result r = runRequest(MTag, [&](const ModuleRequest* request) {
      QelString output;
      return handler(request, output, 0);
    });
    EXPECT_EQ(r.result, MUnF);
    ASSERT_EQ(r.errors.size(), 1u);
    EXPECT_EQ(r.errors[0].message, "This tag is not available in this build.");
  }
}

}  // namespace
}  // namespace bw
