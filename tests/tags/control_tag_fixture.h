// The fixture the control-tag tests share: one initialised test host, and a
// run that also checks the request gave back every block it took.
#ifndef BRINDLEWORK_TESTS_TAGS_CONTROL_TAG_FIXTURE_H
#define BRINDLEWORK_TESTS_TAGS_CONTROL_TAG_FIXTURE_H

#include <gtest/gtest.h>

#include <string>

#include "support/test_host.h"

namespace bw {

class ControlTagTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(host.init(), 0u); }

  test::Result run(const std::string& tag, const test::NamedValues& params,
                   const std::string& body = std::string()) {
    test::Result r = host.runTag(tag, params, body);
    EXPECT_EQ(r.blocksLeft, 0) << tag << " kept blocks after the request";
    EXPECT_EQ(r.foreignReleases, 0) << tag << " released blocks it never took";
    return r;
  }

  test::TestHost host;
};

}  // namespace bw

#endif
