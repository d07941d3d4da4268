#!/usr/bin/env bash
# Runs every test suite twice: a normal build (build/) and a build with the
# address and undefined-behaviour sanitizers (build-asan/).  Installs what it
# needs first.  Exits non-zero on the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
# The page engine builds against libmicrohttpd and SQLite; its browser test drives
# Chromium.
bash scripts/test-engine.sh
jobs=$(nproc 2>/dev/null || echo 2)

run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j"$jobs"
  (cd "$dir" && ctest --output-on-failure -j"$jobs")
}

echo "== normal build"
run_suite build

echo "== sanitizer build"
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
run_suite build-asan -DBRINDLE_SANITIZE=ON

# Suites that need more than the two builds: the 32-bit Windows and i386
# builds, the fuzz runs, malformed HTTP, slow clients and nginx in front of
# a running server, two servers sharing region properties through
# PostgreSQL, the module under concurrent calls in a thread-sanitizer build.
# Each script installs what it needs.
unset ASAN_OPTIONS UBSAN_OPTIONS
for extra in test-platforms test-fuzz test-http-hostile test-http-slow test-nginx-proxy test-postgres test-threads test-install; do
  if [ -f "scripts/$extra.sh" ]; then
    echo "== $extra"
    bash "scripts/$extra.sh"
  fi
done
echo "all suites passed"
