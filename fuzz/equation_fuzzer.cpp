// Fuzzes the expression evaluator behind qelMath: a text parsed and, when it
// is well formed, evaluated at a chosen working precision.
//
// Invariants: a result that has a value respects the integer-digit limit of
// the numbers qelMath uses (100 digits minus the working precision) and
// keeps at most one fraction digit more than the working precision (a lone
// number keeps the parser's rounding digit; qelMath rounds it away); every
// token is given back.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "decimal/equation.h"
#include "fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  bw::fuzz::installCountingHeap();
  FuzzedDataProvider in(data, size);
  const int32_t work = in.ConsumeIntegralInRange<int32_t>(0, 25);
  const std::string text = in.ConsumeRemainingBytesAsString();
  {
    bw::Equation equation(bw::BigDecimal::kMaxPrecision, work);
    if (equation.parse(bw::QelString(text.data(), static_cast<uint32_t>(text.size()))) == 0) {
      bw::BigDecimal result;
      if (equation.evaluate(result) == 0 && !result.isEmpty()) {
        FUZZ_CHECK(result.integerDigitCount() <= bw::BigDecimal::kMaxPrecision - work);
        FUZZ_CHECK(result.fractionDigitCount() <= work + 1);
      }
    }
  }
  FUZZ_CHECK(bw::fuzz::outstandingBlocks() == 0);
  return 0;
}
