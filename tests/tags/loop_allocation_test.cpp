// How many blocks a qelLoop takes from the host's heap.  A host whose
// allocator is a call into a managed runtime or a locked heap pays for every
// block, so a loop may take about one block per iteration at most, and a
// list loop, whose items are read in place, hardly any besides its output's
// growth.  The counts come from the test host's heap, which sees every block
// the module asks for.
#include <gtest/gtest.h>

#include <string>

#include "tags/control_tag_fixture.h"

namespace bw {
namespace {

class LoopAllocations : public ControlTagTest {
 protected:
  // Runs the tag and returns the blocks it took.
  uint64_t allocationsOf(const test::NamedValues& params, const std::string& body,
                         std::string* output = nullptr) {
    const uint64_t before = test::heapStats().allocations;
    const test::Result r = run("qelLoop", params, body);
    const uint64_t taken = test::heapStats().allocations - before;
    EXPECT_EQ(r.result, 0u);
    EXPECT_TRUE(r.errors.empty());
    if (output != nullptr) *output = r.output;
    return taken;
  }
};

std::string list(const std::string& item, size_t count, const std::string& delimiter = ",") {
  std::string out;
  out.reserve((item.size() + delimiter.size()) * count);
  for (size_t i = 0; i < count; ++i) {
    if (i > 0) out += delimiter;
    out += item;
  }
  return out;
}

TEST_F(LoopAllocations, AListLoopOfHalfAMillionItemsTakesFewBlocks) {
  constexpr size_t kItems = 524288;
  std::string output;
  const uint64_t taken =
      allocationsOf({{"itemList", list("xy", kItems)}}, "[&qelLoopIndex;]", &output);
  ASSERT_EQ(output.size(), kItems * 4);
  EXPECT_EQ(output.substr(0, 8), "[xy][xy]");
  // The output's growth, the split list's doubling array and the request's
  // own few blocks: a few hundred, against three per item before.
  EXPECT_LT(taken, 1000u);
}

TEST_F(LoopAllocations, ListLoopsTakeNoBlockPerItemWhateverTheBody) {
  struct Case {
    const char* name;
    test::NamedValues params;
    std::string body;
  };
  const Case cases[] = {
      {"entity in two pieces", {{"itemList", list("ab", 20000)}, {"indexName", "i"}},
       "<td>&qelLoopIndexi;</td><qelIf lhs=\"&qelLoopIndexi;\">y</qelIf>"},
      {"value that forms the entity again", {{"itemList", list("&qelLoop", 20000)}},
       "&qelLoopIndex;Index;"},
      {"empty items", {{"itemList", std::string(20000, ';')}, {"listDelimiter", ";"}},
       "[&qelLoopIndex;]"},
      {"no entity", {{"itemList", list("a", 20000)}}, "row "},
  };
  for (const Case& c : cases) EXPECT_LT(allocationsOf(c.params, c.body), 300u) << c.name;
}

TEST_F(LoopAllocations, AnItemLoopTakesAtMostOneBlockPerItem) {
  constexpr size_t kItems = 5000;
  test::NamedValues params;
  for (size_t i = 0; i < kItems; ++i) params.push_back({"item", std::to_string(i)});
  EXPECT_LT(allocationsOf(params, "[&qelLoopIndex;]"), kItems + 200);
}

// One call of a numeric loop: the index, the continuation tag and the
// request's own blocks.  The bound is what the call took before copies of
// the body stopped being made per piece, so it may only go down.
TEST_F(LoopAllocations, ANumericStepTakesNoMoreThanBefore) {
  EXPECT_LE(allocationsOf({{"first", "1"}, {"last", "3"}, {"indexName", "i"}},
                          "<td>&qelLoopIndexi;</td>"),
            60u);
}

}  // namespace
}  // namespace bw
