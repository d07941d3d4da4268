// Scanning and selecting on large tag bodies: the scanner, the pairing index
// and the qelIf and qelSwitch selections, on bodies of 64 KiB and 1 MiB.
//
// Each shape keeps its make-up as the body grows (the same bytes per level,
// per end tag, per case), so the time per byte of the two sizes shows
// whether any part grows faster than linearly.  At 1 MiB the shapes are:
// plain text; qelIf blocks nested 10,000 deep; about 100,000 end tags that
// have no opening tag; a qelSwitch of 10,000 cases whose last one matches.
#include <benchmark/benchmark.h>

#include <string>

#include "foundation/qel_string.h"
#include "tags/if_body.h"
#include "tags/loop_body.h"
#include "tags/switch_body.h"

namespace {

constexpr size_t kSmall = 64 << 10;
constexpr size_t kLarge = 1 << 20;
// Bytes per nesting level and per case, chosen so that 1 MiB holds 10,000.
constexpr size_t kBytesPerUnit = kLarge / 10000;

bw::QelString asText(const std::string& s) {
  return bw::QelString(s.data(), static_cast<uint32_t>(s.size()));
}

std::string plainText(size_t size) {
  std::string s;
  while (s.size() < size) s += "Plain words of a page, with no markup at all in them. ";
  s.resize(size);
  return s;
}

std::string nestedIfs(size_t size) {
  const size_t depth = size / kBytesPerUnit;
  const std::string open = "<qelIf lhs=\"1\" relationship=\"equals\" rhs=\"1\">";
  const std::string close = "</qelIf>";
  const std::string filler(kBytesPerUnit - open.size() - close.size(), 'x');
  std::string s;
  for (size_t i = 0; i < depth; ++i) s += open + filler.substr(0, filler.size() / 2);
  s += "<qelElse>";
  for (size_t i = 0; i < depth; ++i) s += close + filler.substr(filler.size() / 2);
  return s;
}

std::string strayEndTags(size_t size) {
  std::string s;
  while (s.size() + 10 <= size) s += "</qelIf>y ";
  return s;
}

std::string manyCases(size_t size) {
  const size_t cases = size / kBytesPerUnit;
  std::string s;
  for (size_t i = 0; i < cases; ++i) {
    std::string c = "<qelCase value=\"v" + std::to_string(i) + "\">";
    c += std::string(kBytesPerUnit - c.size() - 10, 'c');
    s += c + "</qelCase>";
  }
  return s;
}

// Bytes per second, and its inverse: time per byte (shown as e.g. "2.1n").
void finish(benchmark::State& state, size_t bytes) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  state.counters["per_byte"] = benchmark::Counter(
      static_cast<double>(bytes),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

template <std::string (*Make)(size_t)>
void BM_IfSelect(benchmark::State& state) {
  const bw::QelString body = asText(Make(static_cast<size_t>(state.range(0))));
  for (auto _ : state) {
    bw::IfBody scanned(body);
    bw::QelString chosen = scanned.select(true);
    benchmark::DoNotOptimize(chosen.length());
  }
  finish(state, body.length());
}

void BM_SwitchSelect(benchmark::State& state) {
  const size_t size = static_cast<size_t>(state.range(0));
  const bw::QelString body = asText(manyCases(size));
  const std::string value = "v" + std::to_string(size / kBytesPerUnit - 1);
  for (auto _ : state) {
    bw::SwitchBody scanned(body);
    bw::QelString chosen = scanned.select(value, false);
    benchmark::DoNotOptimize(chosen.length());
  }
  finish(state, body.length());
}

void BM_LoopExpand(benchmark::State& state) {
  std::string text;
  while (text.size() < static_cast<size_t>(state.range(0))) {
    text += "<tr><td>&qelLoopIndexrow;</td><td>cell</td></tr>\n";
  }
  const bw::QelString body = asText(text);
  const bw::LoopEntity entity("row");
  const bw::QelString index("12345");
  for (auto _ : state) {
    bw::LoopBody scanned(body);
    bw::QelString out;
    scanned.expand(index, entity, out);
    benchmark::DoNotOptimize(out.length());
  }
  finish(state, body.length());
}

BENCHMARK_TEMPLATE(BM_IfSelect, plainText)->Name("IfSelect/plainText")->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_IfSelect, nestedIfs)->Name("IfSelect/nestedIfs")->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_IfSelect, strayEndTags)->Name("IfSelect/strayEndTags")->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SwitchSelect)->Name("SwitchSelect/manyCases")->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoopExpand)->Name("LoopExpand/tableRows")->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
