#!/usr/bin/env bash
# Slow clients against `brindle serve` with its default bounds: 500
# connections sending one byte a second while a normal GET must be answered
# within 1 s, eight slow downloads of a 1 GiB file, both within 64 MiB of
# resident memory, and a second server on a busy port (exit 2).  Builds the
# engine and the module in build/ when needed.  Takes about 25 seconds.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target brindle brindlework -j"$(nproc 2>/dev/null || echo 2)" >/dev/null
# 500 client sockets and the server's own: lift this shell's limit as far as allowed.
ulimit -n "$(ulimit -Hn)" 2>/dev/null || true
python3 tests/reliability/http_slow_clients.py "$build/engine/brindle" "$build/libbrindlework.so" examples/site
