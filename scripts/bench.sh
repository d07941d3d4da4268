#!/usr/bin/env bash
# Builds the benchmarks (a Release build in build-bench/ with
# -DBRINDLE_BENCH=ON) and runs every one of them.  Installs what is missing
# first (Google Benchmark, and PCRE2 for the regex comparison).
#   scripts/bench.sh                 run every benchmark binary
#   scripts/bench.sh string_bench    run only the named binaries
# Extra Google Benchmark flags go in BENCH_ARGS, e.g.
#   BENCH_ARGS="--benchmark_filter=Find --benchmark_repetitions=3" scripts/bench.sh
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh libbenchmark-dev libpcre2-dev
build=build-bench
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBRINDLE_BENCH=ON -DBRINDLE_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc 2>/dev/null || echo 2)"

if [ $# -gt 0 ]; then
  binaries=("$@")
else
  binaries=()
  for f in "$build"/bench/*_bench; do
    [ -x "$f" ] && binaries+=("$(basename "$f")")
  done
fi
for b in "${binaries[@]}"; do
  echo "== $b"
  # shellcheck disable=SC2086
  "$build/bench/$b" --benchmark_min_time=0.2 ${BENCH_ARGS:-}
done
