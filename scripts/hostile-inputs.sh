#!/usr/bin/env bash
# Builds bench/hostile_inputs.cpp against the module of build/ and runs it:
# 1 MiB adversarial bodies and parameters for every tag case, hostile
# patterns, equations and numbers.  Prints the figures RELIABILITY.md quotes.
# Not part of the test command: it measures, and takes a few minutes.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target brindlework bw_test_host -j2 >/dev/null
mkdir -p "$build/bench"
g++ -std=c++17 -O2 -g -Wall -Wextra -I. -Iinclude -Itests \
  -DBRINDLE_MODULE_PATH="\"$PWD/$build/libbrindlework.so\"" \
  bench/hostile_inputs.cpp tests/reliability/tag_cases.cpp "$build/tests/support/libbw_test_host.a" \
  -ldl -o "$build/bench/hostile_inputs"
"$build/bench/hostile_inputs"
