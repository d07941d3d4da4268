// BW_DECIMAL_ASSERT: the decimal arithmetic's preconditions as checks.
//
// The number type's routines rely on facts their callers guarantee (a
// present, nonzero operand; a result that fits its buffer; a normalized
// magnitude).  In builds made with BRINDLE_CHECKS (the sanitizer build and
// the fuzzers) a broken guarantee stops the process at once with the file,
// line and condition; in release builds the macro compiles to nothing, so
// the condition must have no effect of its own.
#ifndef BRINDLEWORK_DECIMAL_DECIMAL_ASSERT_H
#define BRINDLEWORK_DECIMAL_DECIMAL_ASSERT_H

#if defined(BRINDLE_CHECKS)
#include <cstdio>
#include <cstdlib>

#define BW_DECIMAL_ASSERT(condition)                                                     \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: decimal check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (false)
#else
#define BW_DECIMAL_ASSERT(condition) \
  do {                               \
  } while (false)
#endif

#endif
