// Fuzzes the pattern compiler and the matcher: a pattern and a subject from
// the input, compiled once and searched from a chosen start.
//
// Invariants: a match and every group that took part lie inside the
// subject, the group count is within the capture table, and the program
// gives back every block when destroyed, accepted or rejected.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "fuzz/fuzz_check.h"
#include "regex/regex_program.h"

namespace {

bool inside(int32_t start, int32_t length, uint32_t size) {
  return start >= 0 && length >= 0 && static_cast<uint64_t>(start) + static_cast<uint64_t>(length) <= size;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  bw::fuzz::installCountingHeap();
  FuzzedDataProvider in(data, size);
  const uint32_t start = in.ConsumeIntegralInRange<uint32_t>(0, 8);
  const std::string pattern = in.ConsumeRandomLengthString(256);
  const std::string subject = in.ConsumeRemainingBytesAsString();
  {
    bw::QelString patternText(pattern.data(), static_cast<uint32_t>(pattern.size()));
    bw::QelString subjectText(subject.data(), static_cast<uint32_t>(subject.size()));
    bw::RegexProgram program;
    if (program.compile(patternText) == 0) {
      FUZZ_CHECK(program.groupCount() <= bw::kMaxGroups);
      if (program.search(subjectText, start)) {
        int32_t at = 0;
        int32_t length = 0;
        FUZZ_CHECK(program.matchedRange(at, length));
        FUZZ_CHECK(inside(at, length, subjectText.length()));
        FUZZ_CHECK(static_cast<uint32_t>(at) >= start);
        for (uint32_t g = 0; g < program.groupCount(); ++g) {
          int32_t gs = -1;
          int32_t gl = 0;
          if (program.groupRange(g, gs, gl) && gs >= 0) FUZZ_CHECK(inside(gs, gl, subjectText.length()));
        }
      }
    }
  }
  FUZZ_CHECK(bw::fuzz::outstandingBlocks() == 0);
  return 0;
}
