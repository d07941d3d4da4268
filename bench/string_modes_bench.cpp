// The string tags' modes on large texts: replace with 100,000 matches,
// urlDecode, htmlDecode, getWordCount, getCharacterCount, split and padLeft
// with 100,000 copies, each at 64 KiB and at 1 MiB, run through the real
// handler (handleString) with a minimal in-process host that serves the
// tag's parameters and body and swallows its output.
//
// Each input keeps its make-up as it grows, so the time per byte of the two
// sizes shows whether a mode grows faster than linearly.
//
// Run: build with -DBRINDLE_BENCH=ON and run build-bench/bench/string_modes_bench
// (scripts/test-regex-bench.sh does both).
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "brindlework/module.h"
#include "foundation/qel_string.h"
#include "host/tag_handlers.h"

namespace {

constexpr size_t kSmall = 64 << 10;
constexpr size_t kLarge = 1 << 20;

// One tag call's worth of host: parameters by name (case as the module
// spells them), a body, and nothing recorded.
struct BenchHost {
  std::vector<std::pair<std::string, std::string>> parameters;
  std::string body;
  size_t outputBytes = 0;
};
BenchHost* current = nullptr;

uint32_t give(const std::string& value, void* buffer, void* size) {
  uint32_t& room = *static_cast<uint32_t*>(size);
  if (room < value.size() + 1) {
    room = static_cast<uint32_t>(value.size() + 1);
    return MBtS;
  }
  std::memcpy(buffer, value.data(), value.size());
  static_cast<char*>(buffer)[value.size()] = 0;
  room = static_cast<uint32_t>(value.size());
  return 0;
}

uint32_t BW_CALL serve(uint32_t, uint32_t code, void* a1, void* a2, void* a3, void* a4, void* a5) {
  switch (code) {
    case MTag:
      return give("qelString", a1, a2);
    case MTBd:
      return give(current->body, a1, a2);
    case MTPm: {
      const std::string name(static_cast<const char*>(a1), *static_cast<uint32_t*>(a2) - 1);
      int32_t occurrence = *static_cast<int32_t*>(a5);
      for (const auto& p : current->parameters) {
        if (strcasecmp(p.first.c_str(), name.c_str()) == 0 && occurrence-- == 0)
          return give(p.second, a3, a4);
      }
      return 1;
    }
    case MWtS:
      current->outputBytes += reinterpret_cast<uintptr_t>(a2);
      return 0;
    default:
      return 0;
  }
}

void runMode(benchmark::State& state, std::vector<std::pair<std::string, std::string>> params,
             std::string (*make)(size_t)) {
  BenchHost host;
  host.parameters = std::move(params);
  host.body = make(static_cast<size_t>(state.range(0)));
  current = &host;
  ModuleRequest request{};
  request.selector = MTag;
  request.hostCallback = serve;
  size_t produced = 0;
  for (auto _ : state) {
    bw::QelString output;
    if (bw::handleString(&request, output, 0) != 0) {
      state.SkipWithError("the tag failed");
      break;
    }
    produced = output.length();
    benchmark::DoNotOptimize(output.data());
  }
  state.counters["output_bytes"] = static_cast<double>(produced);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(host.body.size()));
  current = nullptr;
}

std::string repeated(const std::string& unit, size_t size) {
  std::string s;
  while (s.size() + unit.size() <= size) s += unit;
  s.resize(size, '.');
  return s;
}

// 1 MiB of "abcdefghij": 104,857 matches of "ab".
std::string tenLetterRuns(size_t size) { return repeated("abcdefghij", size); }
std::string percentEscapes(size_t size) { return repeated("%41x", size); }
std::string entities(size_t size) { return repeated("&amp;x", size); }
std::string words(size_t size) { return repeated("word \tline\r\n", size); }
std::string commaList(size_t size) { return repeated("item,", size); }
std::string seven(size_t) { return "7"; }

void BM_Replace(benchmark::State& state) {
  runMode(state, {{"mode", "replace"}, {"stringToReplace", "ab"}, {"replacementString", "xyz"}},
          tenLetterRuns);
}
void BM_UrlDecode(benchmark::State& state) { runMode(state, {{"mode", "urlDecode"}}, percentEscapes); }
void BM_HtmlDecode(benchmark::State& state) { runMode(state, {{"mode", "htmlDecode"}}, entities); }
void BM_WordCount(benchmark::State& state) { runMode(state, {{"mode", "getWordCount"}}, words); }
void BM_CharacterCount(benchmark::State& state) {
  runMode(state, {{"mode", "getCharacterCount"}, {"character", "e"}}, tenLetterRuns);
}
void BM_CharacterCountNoCase(benchmark::State& state) {
  runMode(state, {{"mode", "getCharacterCount"}, {"character", "E"}}, tenLetterRuns);
}
void BM_SplitLastPiece(benchmark::State& state) {
  const std::string index = std::to_string(static_cast<size_t>(state.range(0)) / 5);
  runMode(state, {{"mode", "split"}, {"index", index}, {"delimiter", ","}}, commaList);
}
// 100,000 copies of a ten-byte fill text: 1 MB of output from a 1-byte text.
void BM_PadLeft(benchmark::State& state) {
  runMode(state, {{"mode", "padLeft"}, {"character", "0123456789"}, {"length", "100000"}}, seven);
}

BENCHMARK(BM_Replace)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UrlDecode)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HtmlDecode)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WordCount)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CharacterCount)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CharacterCountNoCase)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SplitLastPiece)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PadLeft)->Arg(kSmall)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
