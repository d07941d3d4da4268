#!/usr/bin/env bash
# The module under concurrent calls, in a thread-sanitizer build
# (build-tsan/): only the module and the one test that drives it from several
# threads are built, so the run stays within a couple of minutes.  Any data
# race the sanitizer sees fails the run, as does any answer that differs from
# the same call made alone.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build-tsan}
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRINDLE_SANITIZE_THREAD=ON \
  -DBRINDLE_ENGINE=OFF >/dev/null
cmake --build "$build" -j"$jobs" --target brindlework module_threads_test >/dev/null
# halt_on_error: the first race ends the run with a report and a failure.
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}"
(cd "$build" && ctest -R '^module_threads_test$' --output-on-failure)
