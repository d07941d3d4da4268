// The control tags when the host's heap runs out: whichever allocation of a
// request fails, the request ends with MUnk, calls the host no more, and
// gives back every block it had taken.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tags/control_tag_fixture.h"

namespace bw {
namespace {

struct Request {
  const char* tag;
  test::NamedValues params;
  std::string body;
};

const std::vector<Request> kRequests = {
    {"qelIf", {{"lhs", "2.5"}, {"relationship", ">="}, {"rhs", "2.50"}},
     "<b>yes</b><qelIf lhs=\"x\">in<qelElse>out</qelIf><qelElse>no"},
    {"qelInlineIf", {{"lhs", "a"}, {"relationship", "contains"}, {"rhs", "A"}, {"then", "T"}}, ""},
    {"qelIf", {{"lhs", "a"}, {"relationship", "equals"}, {"rhs", "b"}, {"order", "<i>"}}, "x"},
    {"qelSwitch", {{"value", "b"}},
     "<qelCase>D</qelCase><qelCase value=\"a\">A<qelCase value=\"b\">B<qelIf>x</qelIf>"},
    {"qelLoop", {{"first", "1"}, {"last", "3"}, {"step", "0.5"}, {"indexName", "i"}},
     "<td>&qelLoopIndexi;</td>"},
    {"qelLoop", {{"item", "a"}, {"item", "b"}}, "[&qelLoopIndex;]"},
    {"qelLoop", {{"itemList", "a;b;c"}, {"listDelimiter", ";"}}, "[&qelLoopIndex;]"},
    {"qelLoop", {{"indexName", "i"}}, "x"},
};

class ControlTagMemory : public ControlTagTest {};

TEST_F(ControlTagMemory, EveryFailingAllocationIsCleanedUp) {
  for (const Request& request : kRequests) {
    bool completed = false;
    for (uint64_t k = 1; k < 2000 && !completed; ++k) {
      host.failAllocationAt(k);
      const test::Result r = run(request.tag, request.params, request.body);
      if (!r.allocationFailed) {
        completed = true;
        continue;
      }
      EXPECT_EQ(r.result, MUnk) << request.tag << " allocation " << k;
      EXPECT_EQ(r.callsAfterAllocationFailure, 0) << request.tag << " allocation " << k;
    }
    EXPECT_TRUE(completed) << request.tag;
    host.failAllocationAt(0);
  }
}

}  // namespace
}  // namespace bw
