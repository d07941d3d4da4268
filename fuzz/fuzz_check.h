// What every fuzz target shares: a counting heap lent to the statically linked
// module code, and a check that stops the fuzzer with a message.
//
// The targets link the module's libraries directly, so the allocator hooks
// are this process's own; installing the counting pair once makes every block
// the code takes visible, and a target asserts that an input gave back every
// one of them.
#ifndef BRINDLEWORK_FUZZ_FUZZ_CHECK_H
#define BRINDLEWORK_FUZZ_FUZZ_CHECK_H

#include <cstdio>
#include <cstdlib>

#include "brindlework/module.h"

namespace bw::fuzz {

// Blocks handed out by the counting heap and not yet released.
long& outstandingBlocks();

// Installs the counting heap; call from LLVMFuzzerInitialize or at first use.
void installCountingHeap();

[[noreturn]] inline void violated(const char* file, int line, const char* what) {
  std::fprintf(stderr, "%s:%d: invariant violated: %s\n", file, line, what);
  std::abort();
}

}  // namespace bw::fuzz

// Stops the run (the fuzzer saves the input) when the condition is false.
#define FUZZ_CHECK(condition) \
  ((condition) ? (void)0 : ::bw::fuzz::violated(__FILE__, __LINE__, #condition))

#endif
