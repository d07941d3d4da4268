// Benchmarks of the page engine with the real module loaded as a host loads
// it (dlopen).  Reported in BENCHMARKS.md, engine section.
//
//   MixedPage       a page of 10,000 tag calls, compiled once and rendered
//                   per iteration, pages per second, beside the same page as a
//                   Jinja2 template compiled once the same way
//                   (bench/engine_bench_jinja.py, run by this binary when
//                   python3-jinja2 is installed)
//   MixedPageWithCompile  the same page compiled and rendered per iteration
//   MixedPageFromText     the same page rendered from its text
//   MixedPageThreads/threads:N  the compiled page rendered on N threads at
//                   once, each with its own context and session: pages per
//                   second over all threads (wall clock), for the scaling
//                   from one core to two
//   ScanOnly        the engine's own scanning of that page, no module calls
//   Exchange        one protocol exchange (a parameter fetched by the module)
//   NumericLoop/N   a numeric qelLoop of N iterations of a 2,000-byte body
//                   (2,560 = 5 MB): time per output byte and peak memory
//
// `engine_bench --write-page FILE` writes the MixedPage page to FILE and
// stops, so that `brindle render` can be profiled on the very same page.
// BRINDLE_BENCH_MODULE=path loads that module instead of this build's.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "bench/engine_bench_pages.h"
#include "engine/compiled_page.h"
#include "engine/module_library.h"
#include "engine/page_renderer.h"
#include "engine/page_scanner.h"
#include "engine/page_variables.h"

// Engine-side heap, counted so that the loop benchmark can report its peak.
// Only while that benchmark runs: elsewhere the shared counters would be
// written by every thread on every allocation and measure themselves.
namespace {
std::atomic<int64_t> heapNow{0}, heapPeak{0};
std::atomic<bool> countingHeap{false};
void noteAllocation(void* block) {
  if (!countingHeap.load(std::memory_order_relaxed)) return;
  int64_t now = heapNow += static_cast<int64_t>(malloc_usable_size(block));
  int64_t peak = heapPeak.load();
  while (now > peak && !heapPeak.compare_exchange_weak(peak, now)) {
  }
}
}  // namespace

void* operator new(size_t size) {
  void* block = std::malloc(size ? size : 1);
  if (!block) throw std::bad_alloc();
  noteAllocation(block);
  return block;
}
void operator delete(void* block) noexcept {
  if (!block) return;
  if (countingHeap.load(std::memory_order_relaxed)) heapNow -= static_cast<int64_t>(malloc_usable_size(block));
  std::free(block);
}
void operator delete(void* block, size_t) noexcept { operator delete(block); }

namespace bw {
namespace {

constexpr int kPageTags = 10000;

ModuleLibrary& library() {
  static std::unique_ptr<ModuleLibrary> loaded = [] {
    std::string error;
    // BRINDLE_BENCH_MODULE names another build's module, so that two builds
    // of the engine can be timed on one and the same module.
    const char* path = std::getenv("BRINDLE_BENCH_MODULE");
    auto opened = ModuleLibrary::open(path != nullptr ? path : BRINDLE_MODULE_PATH, error);
    if (!opened) {
      std::fprintf(stderr, "engine_bench: %s\n", error.c_str());
      std::exit(1);
    }
    return opened;
  }();
  return *loaded;
}

template <class Page>
RenderOutcome renderOnce(const Page& page) {
  PageContext context;
  context.fileName = "bench.html";
  context.variables = pageVariables();
  RegionProperties properties;
  context.properties = &properties;
  return renderPage(library(), page, context);
}

enum class Form { Compiled, CompiledEachTime, Text };

void mixedPageAs(benchmark::State& state, Form form) {
  const std::string page = mixedPage(kPageTags);
  const CompiledPage compiled = CompiledPage::compile(library().tags(), page);
  RenderOutcome check = renderOnce(compiled);
  if (!check.reports.empty() || check.stats.tagCalls != kPageTags || check.output != renderOnce(page).output) {
    state.SkipWithError("the benchmark page does not render cleanly");
    return;
  }
  for (auto _ : state) {
    switch (form) {
      case Form::Compiled:
        benchmark::DoNotOptimize(renderOnce(compiled));
        break;
      case Form::CompiledEachTime:
        benchmark::DoNotOptimize(renderOnce(CompiledPage::compile(library().tags(), page)));
        break;
      case Form::Text:
        benchmark::DoNotOptimize(renderOnce(page));
        break;
    }
  }
  state.counters["pages_per_second"] = benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["tag_calls"] = static_cast<double>(check.stats.tagCalls);
  state.counters["exchanges_per_tag"] = static_cast<double>(check.stats.exchanges) / check.stats.tagCalls;
  state.counters["ns_per_tag"] = benchmark::Counter(static_cast<double>(kPageTags),
                                                    benchmark::Counter::kIsIterationInvariantRate |
                                                        benchmark::Counter::kInvert);
  if (const char* jinja = std::getenv("BRINDLE_JINJA_PAGES_PER_SECOND"))
    state.counters["jinja2_pages_per_second"] = std::atof(jinja);
}
void MixedPage(benchmark::State& state) { mixedPageAs(state, Form::Compiled); }
void MixedPageWithCompile(benchmark::State& state) { mixedPageAs(state, Form::CompiledEachTime); }
void MixedPageFromText(benchmark::State& state) { mixedPageAs(state, Form::Text); }
BENCHMARK(MixedPage)->Unit(benchmark::kMillisecond);
BENCHMARK(MixedPageWithCompile)->Unit(benchmark::kMillisecond);
BENCHMARK(MixedPageFromText)->Unit(benchmark::kMillisecond);

// The same compiled page on one and on two threads.  The page is compiled
// once and only read; each render has its own context, properties and host
// session, as the server's workers have.
void MixedPageThreads(benchmark::State& state) {
  static const std::string page = mixedPage(kPageTags);
  static const CompiledPage compiled = CompiledPage::compile(library().tags(), page);
  const std::string expected = renderOnce(compiled).output;
  size_t differing = 0;
  for (auto _ : state) {
    RenderOutcome outcome = renderOnce(compiled);
    if (outcome.output != expected) ++differing;
  }
  if (differing != 0) state.SkipWithError("a page rendered on several threads differed");
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
  state.counters["pages_per_second"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(MixedPageThreads)->Threads(1)->Threads(2)->UseRealTime()->Unit(benchmark::kMillisecond);

// What the engine does for a tag without calling the module: find it, read
// its parameters, pair its end tag and expand its variables.
void ScanOnly(benchmark::State& state) {
  const std::string page = mixedPage(kPageTags);
  const TagTable& tags = library().tags();
  std::map<std::string, std::string> variables = pageVariables();
  VariableScope scope{&variables, nullptr};
  size_t found = 0;
  for (auto _ : state) {
    found = 0;
    StartTag start;
    for (size_t i = page.find('<'); i != std::string::npos; i = page.find('<', i + 1)) {
      if (scanStartTag(tags, page, i, start) != TagScan::Found) continue;
      ++found;
      expandParameterValues(start.parameters, scope);
      BodyExtent extent;
      if (start.tag->hasBody() && !start.selfClosed && findMatchingEnd(tags, page, start.end, *start.tag, extent))
        benchmark::DoNotOptimize(extent);
      i = start.end - 1;
    }
  }
  state.counters["ns_per_tag"] = benchmark::Counter(static_cast<double>(found),
                                                    benchmark::Counter::kIsIterationInvariantRate |
                                                        benchmark::Counter::kInvert);
}
BENCHMARK(ScanOnly)->Unit(benchmark::kMicrosecond);

// One service call as the module makes it: a parameter fetched into a buffer.
void Exchange(benchmark::State& state) {
  TagParameters parameters;
  parameters.add("lhs", "${a}");
  parameters.add("relationship", "lessThan");
  parameters.add("rhs", "7.5");
  TagInvocation tag;
  tag.name = "qelInlineIf";
  tag.parameters = &parameters;
  HostSession session;
  session.tag = &tag;
  char buffer[32];
  const char name[] = "rhs";
  for (auto _ : state) {
    uint32_t size = sizeof buffer, count = sizeof name;
    int32_t occurrence = 0;
    benchmark::DoNotOptimize(HostSession::serve(session.handle(), MTPm, const_cast<char*>(name), &count,
                                                buffer, &size, &occurrence));
  }
}
BENCHMARK(Exchange);

void NumericLoop(benchmark::State& state) {
  const int64_t iterations = state.range(0);
  const std::string body(2000, 'x');
  const std::string page = "<qelLoop first=\"1\" last=\"" + std::to_string(iterations) + "\">" + body + "</qelLoop>";
  size_t output = 0;
  int64_t peak = 0;
  trackModuleBytes();
  countingHeap = true;
  for (auto _ : state) {
    heapPeak = heapNow.load();
    resetModuleBytesPeak();
    int64_t heapBase = heapNow.load();
    RenderOutcome outcome = renderOnce(page);
    output = outcome.output.size();
    peak = (heapPeak.load() - heapBase) + moduleBytesPeak();
    if (!outcome.reports.empty()) state.SkipWithError("the loop reported an error");
  }
  countingHeap = false;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(output));
  state.counters["output_bytes"] = static_cast<double>(output);
  state.counters["ns_per_byte"] = benchmark::Counter(static_cast<double>(output),
                                                     benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
  state.counters["peak_bytes"] = static_cast<double>(peak);
  state.counters["peak_per_output"] = static_cast<double>(peak) / static_cast<double>(output);
}
BENCHMARK(NumericLoop)->Arg(26)->Arg(256)->Arg(2560)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace bw

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--write-page") == 0) {
    const std::string page = bw::mixedPage(bw::kPageTags);
    FILE* file = std::fopen(argv[2], "wb");
    bool written = file != nullptr && std::fwrite(page.data(), 1, page.size(), file) == page.size();
    if (file != nullptr && std::fclose(file) != 0) written = false;
    if (!written) std::fprintf(stderr, "engine_bench: cannot write %s\n", argv[2]);
    return written ? 0 : 1;
  }
  // The Jinja2 twin runs first, in its own process, so that its figure can be
  // reported beside the engine's.
  if (!std::getenv("BRINDLE_JINJA_PAGES_PER_SECOND")) {
    std::string command = std::string("python3 '") + BRINDLE_SOURCE_DIR "/bench/engine_bench_jinja.py' " +
                          std::to_string(bw::kPageTags) + " 2>/dev/null";
    if (FILE* pipe = popen(command.c_str(), "r")) {
      char line[128] = {0};
      if (std::fgets(line, sizeof line, pipe) && std::atof(line) > 0) {
        line[std::strcspn(line, "\n")] = 0;
        setenv("BRINDLE_JINJA_PAGES_PER_SECOND", line, 1);
      } else {
        std::fprintf(stderr, "engine_bench: the Jinja2 comparison did not run (python3-jinja2 missing?)\n");
      }
      pclose(pipe);
    }
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
