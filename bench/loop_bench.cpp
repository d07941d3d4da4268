// qelLoop over a delimited list through the real handler (handleLoop), at
// 32,768, 131,072 and 524,288 items, with a host whose allocator counts the
// blocks the module asks for.  A host whose allocator is a call into a
// managed runtime or a locked heap pays for every block, so the counter
// "blocks" (per call) matters as much as the time: it must not grow with
// the items beyond the output's own growth.
//
// Run: bash scripts/bench.sh loop_bench
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "brindlework/module.h"
#include "foundation/allocator.h"
#include "foundation/qel_string.h"
#include "host/tag_handlers.h"

namespace {

uint64_t blocks = 0;
void* BW_CALL countingAllocate(uint32_t count) {
  ++blocks;
  return std::malloc(count);
}
void BW_CALL countingRelease(void* block) { std::free(block); }

// The tag's parameters and body; nothing else is asked for.
std::string itemList;
const char kBody[] = "<tr><td>&qelLoopIndex;</td></tr>";

uint32_t give(const char* value, size_t length, void* buffer, void* size) {
  uint32_t& room = *static_cast<uint32_t*>(size);
  if (room < length + 1) {
    room = static_cast<uint32_t>(length + 1);
    return MBtS;
  }
  std::memcpy(buffer, value, length);
  static_cast<char*>(buffer)[length] = 0;
  room = static_cast<uint32_t>(length);
  return 0;
}

uint32_t BW_CALL serve(uint32_t, uint32_t code, void* a1, void* a2, void* a3, void* a4, void* a5) {
  switch (code) {
    case MTBd:
      return give(kBody, sizeof kBody - 1, a1, a2);
    case MTPm: {
      const std::string name(static_cast<const char*>(a1), *static_cast<uint32_t*>(a2) - 1);
      if (*static_cast<int32_t*>(a5) != 0 || strcasecmp(name.c_str(), "itemList") != 0) return 1;
      return give(itemList.data(), itemList.size(), a3, a4);
    }
    default:
      return 0;
  }
}

void BM_ListLoop(benchmark::State& state) {
  const size_t items = static_cast<size_t>(state.range(0));
  itemList.clear();
  for (size_t i = 0; i < items; ++i) itemList += i == 0 ? "ab" : ",ab";
  bw::installAllocatorHooks(countingAllocate, countingRelease);
  ModuleRequest request{};
  request.selector = MTag;
  request.hostCallback = serve;
  uint64_t perCall = 0;
  for (auto _ : state) {
    const uint64_t before = blocks;
    {
      bw::QelString output;
      if (bw::handleLoop(&request, output, 0) != 0) {
        state.SkipWithError("the tag failed");
        break;
      }
      benchmark::DoNotOptimize(output.data());
    }
    perCall = blocks - before;
  }
  bw::installAllocatorHooks(nullptr, nullptr);
  state.counters["blocks"] = static_cast<double>(perCall);
  state.counters["ns_per_item"] = benchmark::Counter(
      static_cast<double>(items), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

BENCHMARK(BM_ListLoop)->Name("ListLoop/items")->Arg(32768)->Arg(131072)->Arg(524288)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
