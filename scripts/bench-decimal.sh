#!/usr/bin/env bash
# Installs what the decimal benchmark compares against (Debian's libboost-dev,
# header-only Boost.Multiprecision), then builds and runs bench/decimal_bench
# through scripts/bench.sh.  Idempotent.
#   scripts/bench-decimal.sh            (Google Benchmark flags in BENCH_ARGS)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh libboost-dev
exec bash scripts/bench.sh decimal_bench
