#!/usr/bin/env bash
# Malformed and hostile HTTP against `brindle serve` on 127.0.0.1 (huge
# headers and bodies, bad methods, path traversal): every answer is a 4xx and
# no file outside the site root is ever served.  Builds the engine and the
# module in build/ when needed.  Takes a few seconds.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target brindle brindlework -j"$(nproc 2>/dev/null || echo 2)" >/dev/null
python3 tests/reliability/http_hostile.py "$build/engine/brindle" "$build/libbrindlework.so" examples/site
