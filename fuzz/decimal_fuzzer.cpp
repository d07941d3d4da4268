// Fuzzes BigDecimal: two numbers parsed from the input at one precision and
// scale, every arithmetic operation, rounding and printing.
//
// Invariants checked on every value that has one:
//   - parsing toText() again gives the same value (for values within their
//     scale);
//   - no value has more integer digits than its precision minus its scale,
//     nor more fraction digits than its scale (the parser may keep one more,
//     the rounding digit, which round() then removes);
//   - compare(a, b) has the sign of a - b whenever that subtraction fits;
//   - a + b - b gives a back whenever both steps fit (both are exact);
//   - toFixedText(n) prints exactly n fraction digits.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "decimal/big_decimal.h"
#include "fuzz/fuzz_check.h"

namespace {

using bw::BigDecimal;

int sign(int v) { return (v > 0) - (v < 0); }

// Shows the value that broke an invariant before the check stops the run.
void show(const char* what, const BigDecimal& v) {
  const bw::QelString text = v.toText();
  std::fprintf(stderr, "%s: \"%.*s\" at precision %d, scale %d\n", what,
               static_cast<int>(text.length()), text.data(), v.precision(), v.scale());
}

void checkValue(const BigDecimal& v) {
  if (!v.isEmpty() && (v.integerDigitCount() > v.integerLimit() || v.fractionDigitCount() > v.scale() + 1))
    show("out of range", v);
  if (v.isEmpty()) {
    FUZZ_CHECK(v.toText().isEmpty());
    return;
  }
  FUZZ_CHECK(v.integerDigitCount() <= v.integerLimit());
  FUZZ_CHECK(v.fractionDigitCount() <= v.scale() + 1);
  // A value holding the parser's rounding digit does not always survive a
  // second parse (an extra digit below 5 is cut); see the finding in the
  // corpus.  Every value within its scale must.
  if (v.fractionDigitCount() > v.scale()) return;
  BigDecimal again(v.precision(), v.scale());
  const BigDecimal::Status status = again.fromText(v.toText());
  if (status != BigDecimal::ok || BigDecimal::compare(again, v) != 0) {
    show("printed", v);
    show("parsed back", again);
  }
  FUZZ_CHECK(status == BigDecimal::ok);
  FUZZ_CHECK(BigDecimal::compare(again, v) == 0);
}

void checkFixed(const BigDecimal& v, int32_t n) {
  bw::QelString text = v.toFixedText(n, true);
  if (text.isEmpty()) return;
  const std::string s(text.data(), text.length());
  const size_t point = s.find('.');
  if (n == 0)
    FUZZ_CHECK(point == std::string::npos);
  else
    FUZZ_CHECK(point != std::string::npos && s.size() - point - 1 == static_cast<size_t>(n));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  bw::fuzz::installCountingHeap();
  FuzzedDataProvider in(data, size);
  const int32_t precision = in.ConsumeIntegralInRange<int32_t>(1, BigDecimal::kMaxPrecision);
  const int32_t scale = in.ConsumeIntegralInRange<int32_t>(0, precision);
  const int32_t exponent = in.ConsumeIntegralInRange<int32_t>(-6, 6);
  const int32_t fixed = in.ConsumeIntegralInRange<int32_t>(0, 30);
  const std::string first = in.ConsumeRandomLengthString(160);
  const std::string second = in.ConsumeRemainingBytesAsString();
  {
    BigDecimal a(precision, scale);
    BigDecimal b(precision, scale);
    a.fromText(first.c_str(), static_cast<uint32_t>(first.size()));
    b.fromText(second.c_str(), static_cast<uint32_t>(second.size()));
    checkValue(a);
    checkValue(b);
    checkFixed(a, fixed);

    BigDecimal difference(a);
    if (!a.isEmpty() && !b.isEmpty() && difference.subtract(b) == BigDecimal::ok)
      FUZZ_CHECK(sign(BigDecimal::compare(a, b)) == sign(BigDecimal::compare(difference, 0)));

    BigDecimal sum(a);
    if (!a.isEmpty() && !b.isEmpty() && sum.add(b) == BigDecimal::ok) {
      checkValue(sum);
      BigDecimal back(sum);
      if (back.subtract(b) == BigDecimal::ok) FUZZ_CHECK(BigDecimal::compare(back, a) == 0);
    }

    using Operation = BigDecimal::Status (BigDecimal::*)(const BigDecimal&);
    const Operation operations[] = {&BigDecimal::multiply, &BigDecimal::divide, &BigDecimal::remainder,
                                    &BigDecimal::divideInteger};
    for (Operation op : operations) {
      BigDecimal r(a);
      (r.*op)(b);
      checkValue(r);
    }
    checkValue(a.power(exponent));
    BigDecimal rounded(a);
    rounded.round(fixed);
    checkValue(rounded);
    if (!rounded.isEmpty()) FUZZ_CHECK(rounded.fractionDigitCount() <= std::min(fixed, rounded.scale()));
    BigDecimal widened(a);
    widened.setPrecision(BigDecimal::kMaxPrecision, scale);
    checkValue(widened);
    (void)a.toInteger();
  }
  FUZZ_CHECK(bw::fuzz::outstandingBlocks() == 0);
  return 0;
}
