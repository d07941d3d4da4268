// The allocation-failure sweep: every tag case is run once normally to count
// the host allocations it makes, then once for each k from 1 to that count
// with the host's allocator answering null at its k-th call.
//
// A sound module abandons the request where the allocation failed: it
// returns MUnk (or, where it could do without the block, the normal result
// and output), calls the host no more after the failure, and gives back
// every block it took, so nothing leaks and nothing is released twice.
#include <gtest/gtest.h>

#include <string>

#include "reliability/tag_cases.h"
#include "support/test_host.h"

namespace bw::test {
namespace {

// Checks one failing run against the normal run of the same request.
::testing::AssertionResult soundAfterFailure(const Result& normal, const Result& failed,
                                             uint64_t k) {
  auto fail = [&]() { return ::testing::AssertionFailure() << "failing allocation " << k << ": "; };
  if (failed.blocksLeft != 0) return fail() << failed.blocksLeft << " blocks left outstanding";
  if (failed.foreignReleases != 0)
    return fail() << failed.foreignReleases << " releases of blocks never handed out";
  if (!failed.allocationFailed)
    return fail() << "the request made fewer allocations than its normal run";
  if (failed.result == MUnk) {
    if (failed.callsAfterAllocationFailure != 0)
      return fail() << failed.callsAfterAllocationFailure
                    << " host calls after the failure; trace: " << failed.trace();
    return ::testing::AssertionSuccess();
  }
  if (failed.result != normal.result || failed.output != normal.output)
    return fail() << "returned " << codeName(failed.result) << " with \"" << failed.output
                  << "\" instead of MUnk or the normal " << codeName(normal.result) << " with \""
                  << normal.output << "\"";
  return ::testing::AssertionSuccess();
}

// Runs `once` normally, then once per failing allocation.  Returns the
// number of allocations the normal run made.
template <typename Request>
uint64_t sweep(TestHost& host, const Request& once, const std::string& what) {
  const uint64_t before = heapStats().allocations;
  const Result normal = once();
  const uint64_t count = heapStats().allocations - before;
  EXPECT_EQ(normal.blocksLeft, 0) << what << ": the normal run kept blocks";
  EXPECT_NE(normal.result, MUnk) << what << ": the normal run ran out of memory";
  for (uint64_t k = 1; k <= count; ++k) {
    host.failAllocationAt(k);
    const Result failed = once();
    EXPECT_TRUE(soundAfterFailure(normal, failed, k)) << what;
    if (failed.blocksLeft != 0 || ::testing::Test::HasFatalFailure()) break;
  }
  // The module must be fully usable again afterwards.
  const Result again = once();
  EXPECT_EQ(again.result, normal.result) << what << ": differs after the sweep";
  EXPECT_EQ(again.output, normal.output) << what << ": differs after the sweep";
  return count;
}

class AllocationFailure : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(host.init(), 0u); }
  TestHost host;
};

TEST_F(AllocationFailure, EveryTagCase) {
  uint64_t total = 0;
  for (const TagCase& c : tagCases()) {
    total += sweep(host, [&]() { return host.runTag(c.tag, c.params, c.body); }, describe(c));
    if (HasFailure()) break;  // the first broken case is the one to read
  }
  // Guards against a host switch that silently stopped counting.
  EXPECT_GT(total, tagCases().size());
}

// A numeric loop fed its own continuation tags, as a host runs it, so the
// later steps (with their carried state) are swept too.
TEST_F(AllocationFailure, LoopContinuationSteps) {
  const NamedValues steps[] = {
      {{"first", "1"}, {"last", "3"}, {"step", "1"}, {"iteration", "2"}, {"totalSize", "3"}, {"indexName", "k"}},
      {{"first", "-1"}, {"last", "-3"}, {"step", "-1"}, {"iteration", "-3"}, {"totalSize", "100"}},
  };
  for (const NamedValues& params : steps)
    sweep(host, [&]() { return host.runTag("qelLoop", params, std::string("<&qelLoopIndexk;>")); }, "loop step");
}

TEST_F(AllocationFailure, PropertiesPage) {
  host.regionProperties["qelMath"] = "no";
  sweep(host, [&]() { return host.renderProperties(); }, "properties page");
  const NamedValues form = {{"qelIf", "on"}, {"qelLoop", "on"}, {"qelString", "on"}};
  sweep(host, [&]() { return host.storeProperties(form); }, "stored properties");
}

TEST_F(AllocationFailure, DisabledTag) {
  host.regionProperties["qelString"] = "no";
  sweep(host, [&]() { return host.runTag("qelString", {{"mode", "toUpper"}}, std::string("abc")); },
        "disabled tag");
}

}  // namespace
}  // namespace bw::test
