// The foundation's operations on large texts (issue 2, Speed): replaceAll
// with many matches, urlDecode, htmlDecode, and find with short and long
// patterns in both directions, each at 64 KiB and at 1 MiB.
//
// Each input keeps its make-up as it grows (the same bytes per match), so
// the time per byte of the two sizes shows whether an operation grows faster
// than linearly.  At 1 MiB, replaceAll meets 104,857 matches (one "ab" every
// 10 bytes); urlDecode gets 1 MiB of "%41" or of "+"; htmlDecode gets 1 MiB of
// "&" and one ";" at the end, or 1 MiB of "&amp;"; find looks for a pattern
// that occurs only at the far end of the text from where the search starts.
//
// Run: scripts/bench.sh (or build with -DBRINDLE_BENCH=ON and run
// build-bench/bench/string_bench).
#include <benchmark/benchmark.h>

#include <string>

#include "foundation/codecs.h"
#include "foundation/qel_string.h"

namespace {

using bw::QelString;

constexpr size_t kSmall = 64 << 10;
constexpr size_t kLarge = 1 << 20;

QelString asText(const std::string& s) { return QelString(s.data(), static_cast<uint32_t>(s.size())); }

std::string repeated(const std::string& unit, size_t size) {
  std::string s;
  s.reserve(size + unit.size());
  while (s.size() + unit.size() <= size) s += unit;
  s.resize(size, '.');
  return s;
}

// Pseudo-random lowercase letters: a text in which Horspool skips as a real
// page would let it.
std::string letters(size_t size, uint32_t seed) {
  std::string s(size, 'a');
  for (char& c : s) {
    seed = seed * 1103515245u + 12345u;
    c = static_cast<char>('a' + (seed >> 16) % 26);
  }
  return s;
}

// ---------------------------------------------------------------------------
// replaceAll: "ab" in every 10 bytes, by a longer or a shorter replacement.

void replaceAllBench(benchmark::State& state, const char* replacement, uint32_t options) {
  const size_t size = static_cast<size_t>(state.range(0));
  const QelString input = asText(repeated("ab........", size));
  const QelString with(replacement);
  uint32_t count = 0;
  for (auto _ : state) {
    QelString text(input);  // shares the input; replaceAll builds the result
    count = text.replaceAll("ab", with, options);
    benchmark::DoNotOptimize(text.data());
  }
  state.counters["matches"] = count;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(size));
}

void BM_ReplaceAll_Longer(benchmark::State& state) { replaceAllBench(state, "XYZW", bw::NoOptions); }
void BM_ReplaceAll_Shorter(benchmark::State& state) { replaceAllBench(state, "X", bw::NoOptions); }
void BM_ReplaceAll_Longer_Rescan(benchmark::State& state) {
  replaceAllBench(state, "XYZW", bw::IgnoreCase | bw::Rescan);
}
void BM_ReplaceAll_Shorter_Rescan(benchmark::State& state) {
  replaceAllBench(state, "X", bw::IgnoreCase | bw::Rescan);
}
// The replacement holds the pattern: Rescan skips the matches inside it.
void BM_ReplaceAll_SelfContaining_Rescan(benchmark::State& state) {
  replaceAllBench(state, "[ab]", bw::IgnoreCase | bw::Rescan);
}

// ---------------------------------------------------------------------------
// urlDecode and htmlDecode

void decodeBench(benchmark::State& state, const std::string& unit, bool url, const char* tail = "") {
  const size_t size = static_cast<size_t>(state.range(0));
  std::string raw = repeated(unit, size - std::char_traits<char>::length(tail));
  if (raw.size() % unit.size() != 0) raw.resize(raw.size() - raw.size() % unit.size());
  raw += tail;
  const QelString input = asText(raw);
  for (auto _ : state) {
    QelString text(input);
    if (url) {
      benchmark::DoNotOptimize(bw::urlDecode(text));
    } else {
      bw::htmlDecode(text);
    }
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(raw.size()));
}

void BM_UrlDecode_Percent41(benchmark::State& state) { decodeBench(state, "%41", true); }
void BM_UrlDecode_Plus(benchmark::State& state) { decodeBench(state, "+", true); }
void BM_HtmlDecode_Ampersands(benchmark::State& state) { decodeBench(state, "&", false, ";"); }
void BM_HtmlDecode_Amp(benchmark::State& state) { decodeBench(state, "&amp;", false); }

// ---------------------------------------------------------------------------
// find: the pattern occurs once, at the far end of the search.

void findBench(benchmark::State& state, size_t patternLength, uint32_t options) {
  const size_t size = static_cast<size_t>(state.range(0));
  std::string pattern = patternLength == 1 ? std::string("#") : letters(patternLength, 77);
  if (patternLength > 1) pattern[0] = pattern[patternLength - 1] = '#';
  std::string body = letters(size - patternLength, 1234);
  const bool backward = (options & bw::Backward) != 0;
  const QelString text = asText(backward ? pattern + body : body + pattern);
  const QelString needle = asText(pattern);
  uint32_t at = 0;
  for (auto _ : state) {
    bool found = text.find(needle, backward ? bw::kToEnd : 0, bw::kToEnd, options, at);
    benchmark::DoNotOptimize(found);
    benchmark::DoNotOptimize(at);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(size));
}

void BM_Find_Forward_1(benchmark::State& state) { findBench(state, 1, bw::NoOptions); }
void BM_Find_Forward_300(benchmark::State& state) { findBench(state, 300, bw::NoOptions); }
void BM_Find_Backward_1(benchmark::State& state) { findBench(state, 1, bw::Backward); }
void BM_Find_Backward_300(benchmark::State& state) { findBench(state, 300, bw::Backward); }
void BM_Find_Forward_IgnoreCase_1(benchmark::State& state) { findBench(state, 1, bw::IgnoreCase); }
void BM_Find_Forward_IgnoreCase_300(benchmark::State& state) { findBench(state, 300, bw::IgnoreCase); }
void BM_Find_Backward_IgnoreCase_300(benchmark::State& state) {
  findBench(state, 300, bw::Backward | bw::IgnoreCase);
}

#define SIZES Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMicrosecond)

BENCHMARK(BM_ReplaceAll_Longer)->SIZES;
BENCHMARK(BM_ReplaceAll_Shorter)->SIZES;
BENCHMARK(BM_ReplaceAll_Longer_Rescan)->SIZES;
BENCHMARK(BM_ReplaceAll_Shorter_Rescan)->SIZES;
BENCHMARK(BM_ReplaceAll_SelfContaining_Rescan)->SIZES;
BENCHMARK(BM_UrlDecode_Percent41)->SIZES;
BENCHMARK(BM_UrlDecode_Plus)->SIZES;
BENCHMARK(BM_HtmlDecode_Ampersands)->SIZES;
BENCHMARK(BM_HtmlDecode_Amp)->SIZES;
BENCHMARK(BM_Find_Forward_1)->SIZES;
BENCHMARK(BM_Find_Forward_300)->SIZES;
BENCHMARK(BM_Find_Backward_1)->SIZES;
BENCHMARK(BM_Find_Backward_300)->SIZES;
BENCHMARK(BM_Find_Forward_IgnoreCase_1)->SIZES;
BENCHMARK(BM_Find_Forward_IgnoreCase_300)->SIZES;
BENCHMARK(BM_Find_Backward_IgnoreCase_300)->SIZES;

}  // namespace

BENCHMARK_MAIN();
