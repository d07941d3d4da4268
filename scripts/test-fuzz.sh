#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang 14 (address and
# undefined-behaviour sanitizers) and runs each for FUZZ_SECONDS seconds
# (default 30) from its committed seed corpus, then runs the
# allocation-failure sweep.  Exits non-zero when a target finds a crash, a
# leak or a broken invariant; the input that did it is left in
# build-fuzz/findings/ (add it to fuzz/corpus/<target>/ once fixed).
#
#   FUZZ_SECONDS=300 bash scripts/test-fuzz.sh    # longer runs
#   FUZZ_TARGETS="regex codec" bash scripts/test-fuzz.sh
set -euo pipefail
cd "$(dirname "$0")/.."

FUZZ_SECONDS=${FUZZ_SECONDS:-30}
FUZZ_TARGETS=${FUZZ_TARGETS:-"tag_request regex decimal equation codec scanner"}
build=build-fuzz

bash scripts/install-deps.sh clang-14 libclang-rt-14-dev

cmake -S fuzz -B "$build" -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
if ! cmake --build "$build" -j"$(nproc 2>/dev/null || echo 2)" >"$build/build.log" 2>&1; then
  tail -40 "$build/build.log"
  exit 1
fi

mkdir -p "$build/findings"
for target in $FUZZ_TARGETS; do
  # Work on a copy so that what the run discovers does not pile up in git.
  work="$build/corpus/$target"
  mkdir -p "$work"
  cp -f fuzz/corpus/"$target"/* "$work"/
  echo "== fuzz $target for ${FUZZ_SECONDS}s"
  if ! "$build/${target}_fuzzer" -max_total_time="$FUZZ_SECONDS" -max_len=4096 -timeout=5 \
      -rss_limit_mb=1024 -print_final_stats=1 -artifact_prefix="$build/findings/$target-" \
      "$work" >"$build/$target.log" 2>&1; then
    tail -40 "$build/$target.log"
    echo "fuzz target $target failed; the input is in $build/findings/" >&2
    exit 1
  fi
  grep -E "^stat::number_of_executed_units|^stat::peak_rss_mb" "$build/$target.log" | tr '\n' ' '
  echo
done

# The allocation-failure sweep runs with the other suites under ctest
# (tests/reliability), in the normal and the sanitizer build.
echo "fuzz runs passed"
