// BigDecimal side by side with Boost.Multiprecision's cpp_dec_float_50 and
// cpp_dec_float_100 on parse, add, multiply, divide and toText at 8, 38 and
// 100 significant digits, and qelMath calls per second through
// ProcessQELRequest for four bodies: one product, a 38-digit product, an
// 8-term sum and a body of 20 operators.
//
// Operands are d-digit fractions 0.ddd...; BigDecimal works at precision 100
// and scale d, so every result keeps d digits, as the evaluator's numbers do.
// cpp_dec_float always works at its full 50 or 100 digits (at 100 digits
// cpp_dec_float_50 holds only half of each operand, so the fair comparison
// there is cpp_dec_float_100).  The "allocs" counter is the module
// allocator's blocks per operation for BigDecimal.
//
// The Boost side is compiled only when Debian's libboost-dev is installed
// (scripts/bench-decimal.sh installs it), so a machine without it still
// builds the other benchmarks.
//
// The qelMath benchmark loads the real module (BRINDLE_MODULE_PATH, or
// ../libbrindlework.so next to this binary) and answers its callbacks with a
// minimal host of its own.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "brindlework/module.h"
#include "decimal/big_decimal.h"
#include "foundation/allocator.h"

#if __has_include(<boost/multiprecision/cpp_dec_float.hpp>)
#include <boost/multiprecision/cpp_dec_float.hpp>
#define BRINDLE_HAVE_BOOST 1
#endif

namespace {

// --- Counting allocator for BigDecimal ---------------------------------------

long gAllocations = 0;

void* BW_CALL countingAllocate(uint32_t count) {
  ++gAllocations;
  return std::malloc(count);
}

void BW_CALL countingRelease(void* block) { std::free(block); }

struct InstallCounter {
  InstallCounter() {
    bw::QelString warm;  // the shared empty representation from the runtime heap
    (void)warm;
    bw::installAllocatorHooks(countingAllocate, countingRelease);
  }
} gInstallCounter;

// --- Operands -----------------------------------------------------------------

// "0." followed by digits random digits, the first and last nonzero; the
// first digit of b is larger than a's, so a / b < 1 and a + b < 2.
std::string fraction(int digits, bool large, unsigned seed) {
  std::mt19937 random(seed);
  std::string s = "0.";
  s += static_cast<char>(large ? '6' + random() % 4 : '1' + random() % 4);
  for (int i = 1; i < digits - 1; ++i) s += static_cast<char>('0' + random() % 10);
  if (digits > 1) s += static_cast<char>('1' + random() % 9);
  return s;
}

struct Texts {
  std::string a;
  std::string b;
};

Texts operands(int digits) { return {fraction(digits, false, 1), fraction(digits, true, 2)}; }

bw::BigDecimal makeBig(const std::string& text, int digits) {
  bw::BigDecimal d(100, digits);
  d = text.c_str();
  return d;
}

void report(benchmark::State& state, long allocationsBefore) {
  state.counters["allocs"] = benchmark::Counter(
      static_cast<double>(gAllocations - allocationsBefore) / static_cast<double>(state.iterations()));
}

// --- BigDecimal ------------------------------------------------------------------

void BigDecimal_Parse(benchmark::State& state) {
  const int digits = static_cast<int>(state.range(0));
  const Texts t = operands(digits);
  bw::BigDecimal d(100, digits);
  const long before = gAllocations;
  for (auto _ : state) {
    d.fromText(t.a.c_str(), static_cast<uint32_t>(t.a.size()));
    benchmark::DoNotOptimize(d);
  }
  report(state, before);
}

template <typename Apply>
void BigDecimalBinary(benchmark::State& state, Apply apply) {
  const int digits = static_cast<int>(state.range(0));
  const Texts t = operands(digits);
  const bw::BigDecimal a = makeBig(t.a, digits);
  const bw::BigDecimal b = makeBig(t.b, digits);
  const long before = gAllocations;
  for (auto _ : state) {
    bw::BigDecimal r(a);
    apply(r, b);
    benchmark::DoNotOptimize(r);
  }
  report(state, before);
}

void BigDecimal_Add(benchmark::State& state) {
  BigDecimalBinary(state, [](bw::BigDecimal& r, const bw::BigDecimal& b) { r.add(b); });
}
void BigDecimal_Multiply(benchmark::State& state) {
  BigDecimalBinary(state, [](bw::BigDecimal& r, const bw::BigDecimal& b) { r.multiply(b); });
}
void BigDecimal_Divide(benchmark::State& state) {
  BigDecimalBinary(state, [](bw::BigDecimal& r, const bw::BigDecimal& b) { r.divide(b); });
}

// In place, as the evaluator works: the result is written into the
// receiver's own array.  One add and one subtract per
// iteration (the value stays the same).
void BigDecimal_AddSubtractInPlace(benchmark::State& state) {
  const int digits = static_cast<int>(state.range(0));
  const Texts t = operands(digits);
  bw::BigDecimal r = makeBig(t.a, digits);
  const bw::BigDecimal b = makeBig(t.b, digits);
  const long before = gAllocations;
  for (auto _ : state) {
    r.add(b);
    r.subtract(b);
    benchmark::DoNotOptimize(r);
  }
  report(state, before);
}

// In place: r *= b, then r *= c with c the reciprocal of b rounded to the
// same digits, so that r stays near a (its digits wander only in the last
// places) and keeps d significant digits.  Two multiplications per iteration.
// (At 100 digits the reciprocal, above 1, keeps 99 after the point.)
int reciprocalScale(int digits) { return digits < 100 ? digits : 99; }

std::string reciprocalText(const std::string& b, int digits) {
  bw::BigDecimal one(100, reciprocalScale(digits));
  one = "1";
  one.divide(makeBig(b, digits));
  return one.toText().cString();
}

void BigDecimal_MultiplyInPlace(benchmark::State& state) {
  const int digits = static_cast<int>(state.range(0));
  const Texts t = operands(digits);
  bw::BigDecimal r = makeBig(t.a, digits);
  const bw::BigDecimal b = makeBig(t.b, digits);
  const bw::BigDecimal c = makeBig(reciprocalText(t.b, digits), reciprocalScale(digits));
  r.multiply(b);  // the starting value as the loop sees it
  r.multiply(c);
  const long before = gAllocations;
  for (auto _ : state) {
    r.multiply(b);
    r.multiply(c);
    benchmark::DoNotOptimize(r);
  }
  report(state, before);
}

void BigDecimal_ToText(benchmark::State& state) {
  const int digits = static_cast<int>(state.range(0));
  const bw::BigDecimal a = makeBig(operands(digits).a, digits);
  bw::QelString out;
  const long before = gAllocations;
  for (auto _ : state) {
    a.toText(out);
    benchmark::DoNotOptimize(out);
  }
  report(state, before);
}

// --- cpp_dec_float -------------------------------------------------------------
#ifdef BRINDLE_HAVE_BOOST
using boost::multiprecision::cpp_dec_float_100;
using boost::multiprecision::cpp_dec_float_50;

template <typename Float>
void Boost_Parse(benchmark::State& state) {
  const Texts t = operands(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    Float f(t.a);
    benchmark::DoNotOptimize(f);
  }
}

template <typename Float, typename Apply>
void BoostBinary(benchmark::State& state, Apply apply) {
  const Texts t = operands(static_cast<int>(state.range(0)));
  Float a(t.a);
  Float b(t.b);
  for (auto _ : state) {
    // The operands are opaque each time, so the inlined work cannot be
    // hoisted out of the loop.
    benchmark::DoNotOptimize(a);
    benchmark::DoNotOptimize(b);
    Float r = apply(a, b);
    benchmark::DoNotOptimize(r);
  }
}

template <typename Float>
void Boost_Add(benchmark::State& state) {
  BoostBinary<Float>(state, [](const Float& a, const Float& b) { return Float(a + b); });
}
template <typename Float>
void Boost_Multiply(benchmark::State& state) {
  BoostBinary<Float>(state, [](const Float& a, const Float& b) { return Float(a * b); });
}
template <typename Float>
void Boost_Divide(benchmark::State& state) {
  BoostBinary<Float>(state, [](const Float& a, const Float& b) { return Float(a / b); });
}

// The in-place counterparts: r += b; r -= b, and r *= b; r *= c.
template <typename Float>
void Boost_AddSubtractInPlace(benchmark::State& state) {
  const Texts t = operands(static_cast<int>(state.range(0)));
  Float r(t.a);
  Float b(t.b);
  for (auto _ : state) {
    benchmark::DoNotOptimize(b);
    r += b;
    r -= b;
    benchmark::DoNotOptimize(r);
  }
}

template <typename Float>
void Boost_MultiplyInPlace(benchmark::State& state) {
  const int digits = static_cast<int>(state.range(0));
  const Texts t = operands(digits);
  Float r(t.a);
  Float b(t.b);
  Float c(reciprocalText(t.b, digits));
  for (auto _ : state) {
    benchmark::DoNotOptimize(b);
    benchmark::DoNotOptimize(c);
    r *= b;
    r *= c;
    benchmark::DoNotOptimize(r);
  }
}

template <typename Float>
void Boost_ToText(benchmark::State& state) {
  const int digits = static_cast<int>(state.range(0));
  Float a(operands(digits).a);
  for (auto _ : state) {
    benchmark::DoNotOptimize(a);
    std::string s = a.str(digits, std::ios_base::fixed);
    benchmark::DoNotOptimize(s);
  }
}

#endif  // BRINDLE_HAVE_BOOST

#define DIGITS ->Arg(8)->Arg(38)->Arg(100)
#ifdef BRINDLE_HAVE_BOOST
#define VERSUS(op)                                   \
  BENCHMARK(Boost_##op<cpp_dec_float_50>) DIGITS;    \
  BENCHMARK(Boost_##op<cpp_dec_float_100>) DIGITS;
#else
#define VERSUS(op)
#endif

BENCHMARK(BigDecimal_Parse) DIGITS;
VERSUS(Parse)
BENCHMARK(BigDecimal_Add) DIGITS;
VERSUS(Add)
BENCHMARK(BigDecimal_AddSubtractInPlace) DIGITS;
VERSUS(AddSubtractInPlace)
BENCHMARK(BigDecimal_Multiply) DIGITS;
VERSUS(Multiply)
BENCHMARK(BigDecimal_MultiplyInPlace) DIGITS;
VERSUS(MultiplyInPlace)
BENCHMARK(BigDecimal_Divide) DIGITS;
VERSUS(Divide)
BENCHMARK(BigDecimal_ToText) DIGITS;
VERSUS(ToText)

// --- qelMath through the module ---------------------------------------------------

// The bodies, by the benchmark's argument: one operator; a product of two
// 38-digit operands; an 8-term sum; twenty binary operators, every
// precedence level and parentheses.
const char* const kBodies[] = {
    "19.99 * 3",
    "123456789012345678901234567890.12345678 * 987654321098765432109876543210.98765432",
    "1.25 + 2.5 + 3.75 + 4.125 + 5.5 + 6.875 + 7.25 + 8.0625",
    "(12.5 + 3.25) * 4 - 7 / 3 + 2 ^ 5 % 9 - (1.5 * 8 + 6) \\ 4 + 100 / 7 * 3"
    " - 45.75 + 0.125 * 16 - 9 % 4 + 18 / 6",
};
const char* const kBodyNames[] = {"19.99 * 3", "38-digit product", "8-term sum", "20 operators"};
const char* gBody = kBodies[0];

struct MiniHost {
  size_t outputBytes = 0;

  static uint32_t BW_CALL serve(uint32_t handle, uint32_t code, void* a1, void* a2, void*, void*,
                                void*);
};

MiniHost gHost;

uint32_t answer(const char* text, void* buffer, void* size) {
  uint32_t& slot = *static_cast<uint32_t*>(size);
  const uint32_t length = static_cast<uint32_t>(std::strlen(text));
  if (length > slot) {
    slot = length;
    return MBtS;
  }
  std::memcpy(buffer, text, length);
  slot = length;
  return 0;
}

uint32_t BW_CALL MiniHost::serve(uint32_t, uint32_t code, void* a1, void* a2, void*, void*,
                                 void*) {
  switch (code) {
    case MTag: return answer("qelMath", a1, a2);
    case MTBd: return answer(gBody, a1, a2);
    case MTPm:
    case MGPr: return 1;  // absent: every default applies
    case MWtS: gHost.outputBytes += *static_cast<uint32_t*>(a2); return 0;
    default: return 0;
  }
}

void* BW_CALL plainAllocate(uint32_t count) { return std::malloc(count); }
void BW_CALL plainRelease(void* block) { std::free(block); }

std::string modulePath() {
  if (const char* path = std::getenv("BRINDLE_MODULE_PATH")) return path;
  char self[4096];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof(self) - 1);
  std::string dir = n > 0 ? std::string(self, static_cast<size_t>(n)) : std::string(".");
  dir = dir.substr(0, dir.rfind('/'));
  return dir + "/../libbrindlework.so";
}

void QelMath_Request(benchmark::State& state) {
  gBody = kBodies[state.range(0)];
  state.SetLabel(kBodyNames[state.range(0)]);
  void* library = dlopen(modulePath().c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    state.SkipWithError("module not found (set BRINDLE_MODULE_PATH)");
    return;
  }
  using Entry = uint32_t (*)(ModuleRequest*);
  auto process = reinterpret_cast<Entry>(dlsym(library, "ProcessQELRequest"));
  ModuleRequest request{};
  request.hostHandle = 1;
  request.hostCallback = MiniHost::serve;
  request.hostAllocate = plainAllocate;
  request.hostRelease = plainRelease;
  request.selector = MIni;
  process(&request);
  request.selector = MTag;
  for (auto _ : state) {
    if (process(&request) != 0) {
      state.SkipWithError("qelMath failed");
      break;
    }
  }
  state.counters["calls/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(QelMath_Request)->DenseRange(0, 3);

}  // namespace

BENCHMARK_MAIN();
