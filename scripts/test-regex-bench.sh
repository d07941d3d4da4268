#!/usr/bin/env bash
# Installs what the regex benchmark compares against (Debian's libpcre2-dev),
# then builds and runs the regex and string benchmarks.  Idempotent.
#   scripts/test-regex-bench.sh [build-dir]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build-bench}"
"$here/scripts/install-deps.sh" libpcre2-dev
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBRINDLE_BENCH=ON -DBRINDLE_TESTS=OFF >/dev/null
cmake --build "$build" --target regex_bench string_bench -j2
"$build/bench/regex_bench" --benchmark_min_time=0.2
"$build/bench/string_bench" --benchmark_min_time=0.2
