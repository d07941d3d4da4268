// Regex search throughput: ten representative patterns over a 1 MiB page of
// text, each compiled and then searched for every match, side by side with
// PCRE2 running the equivalent atomic/possessive pattern with its JIT off and
// on.  The match counts are reported as counters, and must agree between the
// engines (the benchmark stops with an error when they do not).
//
// Then the hostile pairs: patterns whose plain walk from every start would
// cost (subject length)^2, each searched once over 64 KiB and 1 MiB built
// from the bytes that make it hostile; time per byte should stay flat.
//
// Then the counted groups that once took seconds each (a counted group of
// 500-byte alternatives, a 52-byte counted group over a mebibyte, three
// counted groups of alternatives), at 1/16, 1/4 and the full size of their
// subject, one search each, compile included.
//
// Build: linked with pcre2-8 (Debian's libpcre2-dev, scripts/test-regex-bench.sh).
#define PCRE2_CODE_UNIT_WIDTH 8
#include <benchmark/benchmark.h>
#include <pcre2.h>

#include <cstdint>
#include <string>

#include "foundation/qel_string.h"
#include "regex/regex_program.h"

namespace {

constexpr size_t kSubjectSize = 1 << 20;

struct PatternRow {
  const char* name;
  const char* brindle;  // the module's dialect
  const char* pcre2;    // the same match, written atomic/possessive
};

// ^ and $ match next to CR and LF in the module's dialect: PCRE2 gets
// MULTILINE with NEWLINE_ANYCRLF for the same meaning.
const PatternRow kPatterns[] = {
    {"literal", "zebra", "zebra"},
    {"digit_run", "[0-9]+", "[0-9]++"},
    {"capitalised", "[A-Z][a-z]+", "[A-Z][a-z]++"},
    {"line_start", "^[a-z]+", "^[a-z]++"},
    {"line_end", "[a-z]+$", "[a-z]++$"},
    {"group_alternation", "(ab|cd)[a-z]", "(?>(ab|cd))[a-z]"},
    {"counted", "[a-z]{3,5}[0-9]{2}", "[a-z]{3,5}+[0-9]{2}+"},
    {"never_matches", "[0-9]{9}", "[0-9]{9}+"},
    {"whole_lines", ".+", "[^\\r\\n]++"},
    {"address", "(\\w+)@(\\w+)\\.com", "(\\w++)@(\\w++)\\.com"},
};

// Words of lower-case letters, some capitalised, some with digits (never
// more than four in a row), an address now and then, lines of about 70 bytes.
const std::string& subject() {
  static const std::string text = [] {
    std::string s;
    uint32_t state = 12345;
    auto next = [&state] {
      state = state * 1103515245u + 12345u;
      return (state >> 16) & 0x7FFF;
    };
    size_t line = 0;
    while (s.size() < kSubjectSize) {
      const uint32_t kind = next() % 40;
      std::string word;
      const uint32_t length = 2 + next() % 8;
      for (uint32_t i = 0; i < length; ++i) word += static_cast<char>('a' + next() % 26);
      if (kind == 0) word[0] = static_cast<char>('A' + next() % 26);
      if (kind == 1) word += std::to_string(next() % 10000);
      if (kind == 2) word += "@mail.com";
      if (kind == 3 && next() % 50 == 0) word = "zebra";
      s += word;
      line += word.size() + 1;
      if (line > 70) {
        s += '\n';
        line = 0;
      } else {
        s += ' ';
      }
    }
    s.resize(kSubjectSize);
    return s;
  }();
  return text;
}

int64_t brindleMatches(const PatternRow& row, const bw::QelString& text) {
  bw::RegexProgram program;
  if (program.compile(row.brindle) != 0) return -1;
  int64_t count = 0;
  uint32_t start = 0;
  while (program.search(text, start)) {
    int32_t at = 0, length = 0;
    program.matchedRange(at, length);
    ++count;
    start = static_cast<uint32_t>(at + (length > 0 ? length : 1));
  }
  return count;
}

int64_t pcre2Matches(const PatternRow& row, const std::string& text, bool jit) {
  pcre2_compile_context* context = pcre2_compile_context_create(nullptr);
  pcre2_set_newline(context, PCRE2_NEWLINE_ANYCRLF);
  int error = 0;
  PCRE2_SIZE offset = 0;
  pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(row.pcre2), PCRE2_ZERO_TERMINATED,
                                   PCRE2_MULTILINE, &error, &offset, context);
  pcre2_compile_context_free(context);
  if (code == nullptr) return -1;
  if (jit) pcre2_jit_compile(code, PCRE2_JIT_COMPLETE);
  pcre2_match_data* data = pcre2_match_data_create_from_pattern(code, nullptr);
  int64_t count = 0;
  PCRE2_SIZE start = 0;
  const auto* bytes = reinterpret_cast<PCRE2_SPTR>(text.data());
  while (start < text.size() &&
         pcre2_match(code, bytes, text.size(), start, 0, data, nullptr) > 0) {
    const PCRE2_SIZE* span = pcre2_get_ovector_pointer(data);
    ++count;
    start = span[1] > span[0] ? span[1] : span[0] + 1;
  }
  pcre2_match_data_free(data);
  pcre2_code_free(code);
  return count;
}

enum class Engine { brindle, pcre2, pcre2Jit };

void BM_Search(benchmark::State& state, const PatternRow& row, Engine engine) {
  const std::string& text = subject();
  const bw::QelString moduleText(text.data(), static_cast<uint32_t>(text.size()));
  const int64_t expected = brindleMatches(row, moduleText);
  const int64_t reference = pcre2Matches(row, text, false);
  if (expected < 0 || expected != reference) {
    state.SkipWithError("the engines disagree on the number of matches");
    return;
  }
  int64_t count = 0;
  for (auto _ : state) {
    switch (engine) {
      case Engine::brindle: count = brindleMatches(row, moduleText); break;
      case Engine::pcre2: count = pcre2Matches(row, text, false); break;
      case Engine::pcre2Jit: count = pcre2Matches(row, text, true); break;
    }
    benchmark::DoNotOptimize(count);
  }
  state.counters["matches"] = static_cast<double>(count);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}

struct HostileRow {
  const char* name;
  const char* pattern;
  const char* unit;  // repeated to make the subject
  const char* tail;  // ends it: holds the byte every match needs, yet no match
};

// The "_tail" rows end the subject with the byte the pattern requires, so
// the search cannot rule itself out and has to do the whole job.
const HostileRow kHostile[] = {
    {"a_star_b", "a*b", "a", ""},
    {"letters_bang", "[a-z]+!", "lower case text without a bang ", ""},
    {"letters_bang_tail", "[a-z]+!", "lower case text without a bang ", " !"},
    {"ab_plus_c", "(ab)+c", "ab", ""},
    {"ab_plus_c_tail", "(ab)+c", "ab", "xc"},
    {"counted_b", "a{2,}b", "a", ""},
    {"counted_b_tail", "a{2,}b", "a", "xb"},
    {"anchor_alternation", "^x|y$", "text without either letter ", ""},
    {"ab_star_c", "(a|b)*c", "ab", ""},
    {"ab_star_x_tail", "(a|b)*x", "ab", "\nx"},
    {"digits_dot", "\\d+\\.", "0123456789", ""},
    {"digits_dot_tail", "\\d+\\.", "0123456789", "x."},
    {"optional_c", "a?b?c", "ab", ""},
};

void BM_Hostile(benchmark::State& state, const HostileRow& row) {
  const size_t size = static_cast<size_t>(state.range(0));
  std::string text;
  const std::string tail = row.tail;
  while (text.size() < size - tail.size()) text += row.unit;
  text.resize(size - tail.size());
  text += tail;
  const bw::QelString subjectText(text.data(), static_cast<uint32_t>(text.size()));
  bool found = false;
  for (auto _ : state) {
    bw::RegexProgram program;
    program.compile(row.pattern);
    found = program.search(subjectText, 0);
    benchmark::DoNotOptimize(found);
  }
  state.counters["found"] = found ? 1 : 0;
  state.counters["ns_per_byte"] = benchmark::Counter(
      static_cast<double>(size), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(size));
}

std::string repeated(const std::string& unit, size_t count) {
  std::string out;
  out.reserve(unit.size() * count);
  for (size_t i = 0; i < count; ++i) out += unit;
  return out;
}

struct CountedGroupRow {
  const char* name;
  std::string (*pattern)();
  std::string (*subject)(size_t size);
  size_t fullSize;
};

const CountedGroupRow kCountedGroups[] = {
    {"alternations_500",
     [] { return repeated("(" + std::string(500, 'a') + "z|a){1,255}", 9) + "c"; },
     [](size_t size) { return std::string(size, 'a') + "bc"; }, 2900},
    {"group_52_bytes", [] { return "(" + repeated("ab", 26) + "){1,255}c"; },
     [](size_t size) { return repeated("ab", size / 2) + "c"; }, 1 << 20},
    {"three_groups", [] { return repeated("(ab|a){1,255}", 3) + "c"; },
     [](size_t size) { return repeated("ab", size / 2) + "c"; }, 1 << 20},
};

void BM_CountedGroup(benchmark::State& state, const CountedGroupRow& row) {
  const size_t size = row.fullSize / static_cast<size_t>(state.range(0));
  const std::string pattern = row.pattern();
  const std::string text = row.subject(size);
  const bw::QelString patternText(pattern.data(), static_cast<uint32_t>(pattern.size()));
  const bw::QelString subjectText(text.data(), static_cast<uint32_t>(text.size()));
  bool found = false;
  for (auto _ : state) {
    bw::RegexProgram program;
    program.compile(patternText);
    found = program.search(subjectText, 0);
    if (program.budgetReached()) {
      state.SkipWithError("the search reached its step budget");
      break;
    }
    benchmark::DoNotOptimize(found);
  }
  state.counters["found"] = found ? 1 : 0;
  state.counters["subject_bytes"] = static_cast<double>(text.size());
  state.counters["ns_per_byte"] = benchmark::Counter(
      static_cast<double>(text.size()), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// A search that reaches the step budget (RegexProgram::kSearchStepBudget)
// stops there and the tag fails; the time to that stop is what a visitor who
// chose the pattern or the subject costs the server, and must stay well under
// a second.  The subject is the one of the page case regex_step_budget.
void BM_BudgetStop(benchmark::State& state) {
  const std::string pattern = kCountedGroups[0].pattern();
  const std::string text = std::string(29998, 'a') + "bc";
  const bw::QelString patternText(pattern.data(), static_cast<uint32_t>(pattern.size()));
  const bw::QelString subjectText(text.data(), static_cast<uint32_t>(text.size()));
  uint64_t steps = 0;
  for (auto _ : state) {
    bw::RegexProgram program;
    program.compile(patternText);
    benchmark::DoNotOptimize(program.search(subjectText, 0));
    if (!program.budgetReached()) {
      state.SkipWithError("the search ended before its step budget");
      break;
    }
    steps = program.stepsTaken();
  }
  state.counters["steps"] = static_cast<double>(steps);
}

const int kRegistered = [] {
  benchmark::RegisterBenchmark("budget/alternations_500_30k", BM_BudgetStop)->Unit(benchmark::kMillisecond);
  for (const CountedGroupRow& row : kCountedGroups) {
    benchmark::RegisterBenchmark((std::string("counted/") + row.name).c_str(), BM_CountedGroup, row)
        ->Arg(16)
        ->Arg(4)
        ->Arg(1)
        ->Unit(benchmark::kMillisecond);
  }
  for (const HostileRow& row : kHostile) {
    benchmark::RegisterBenchmark((std::string("hostile/") + row.name).c_str(), BM_Hostile, row)
        ->Arg(64 << 10)
        ->Arg(1 << 20)
        ->Unit(benchmark::kMillisecond);
  }
  for (const PatternRow& row : kPatterns) {
    const std::string name = row.name;
    benchmark::RegisterBenchmark(("regex/" + name + "/brindle").c_str(), BM_Search, row, Engine::brindle)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("regex/" + name + "/pcre2").c_str(), BM_Search, row, Engine::pcre2)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("regex/" + name + "/pcre2_jit").c_str(), BM_Search, row,
                                 Engine::pcre2Jit)
        ->Unit(benchmark::kMillisecond);
  }
  return 0;
}();

}  // namespace

BENCHMARK_MAIN();
