#!/usr/bin/env bash
# The engine under load: wrk against `brindle serve` on 127.0.0.1 for
# LOAD_SECONDS (default 60) at LOAD_CONNECTIONS (default 64) connections on
# the demo page, sampling the server's resident memory every second.  Prints
# throughput, latency (p50, p99), errors and the growth of resident memory
# between the 10th second and the end; exits non-zero when there were errors
# or the growth reached 10%.  A benchmark, not part of the test command.  Installs wrk
# (Debian) when missing and run as root.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
seconds=${LOAD_SECONDS:-60}
connections=${LOAD_CONNECTIONS:-64}
page=${LOAD_PAGE:-/index.html}

command -v wrk >/dev/null || bash scripts/install-deps.sh wrk
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target brindle brindlework -j2 >/dev/null

work=$(mktemp -d)
server=""
sampler=""
cleanup() {
  [ -n "$sampler" ] && kill "$sampler" 2>/dev/null || true
  [ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
cp -r examples/site "$work/site"

BRINDLE_ADMIN_TOKEN=load-test "$build/engine/brindle" serve --root "$work/site" \
  --listen 127.0.0.1:0 --module "$build/libbrindlework.so" >"$work/out" 2>"$work/log" &
server=$!
for _ in $(seq 100); do
  grep -q "at http://127.0.0.1:" "$work/out" 2>/dev/null && break
  sleep 0.1
done
base=$(grep -o "http://127.0.0.1:[0-9]*" "$work/out" | head -1)
[ -n "$base" ] || { echo "brindle serve did not start" >&2; cat "$work/log" >&2; exit 1; }
curl -sf -o /dev/null "$base$page" || { echo "$base$page does not answer 200" >&2; exit 1; }

# One resident-memory sample (KiB) a second, the first at second 1.
( while kill -0 "$server" 2>/dev/null; do
    awk '/^VmRSS:/ {print $2}' "/proc/$server/status" >>"$work/rss"
    sleep 1
  done ) &
sampler=$!

wrk -t2 -c"$connections" -d"${seconds}s" --latency "$base$page" | tee "$work/wrk"

kill "$sampler" 2>/dev/null || true
sampler=""
rss10=$(sed -n 10p "$work/rss")
rssEnd=$(sed -n "${seconds}p" "$work/rss")
[ -n "$rssEnd" ] || rssEnd=$(tail -1 "$work/rss")
growth=$(awk -v a="$rss10" -v b="$rssEnd" 'BEGIN { printf "%.1f", (b - a) * 100 / a }')
non2xx=$(awk '/Non-2xx or 3xx responses/ {print $NF}' "$work/wrk")
socketErrors=$(awk -F'[ ,]+' '/Socket errors/ {print $5 + $7 + $9 + $11}' "$work/wrk")
requests=$(awk '/Requests\/sec/ {print $2}' "$work/wrk")
p50=$(awk '$1 == "50%" {print $2}' "$work/wrk")
p99=$(awk '$1 == "99%" {print $2}' "$work/wrk")
echo "throughput ${requests} requests/s; latency p50 ${p50}, p99 ${p99}; non-2xx ${non2xx:-0}; socket errors ${socketErrors:-0}"
echo "resident memory: ${rss10} KiB at second 10, ${rssEnd} KiB at second ${seconds} (${growth}%)"
[ "${non2xx:-0}" = 0 ] && [ "${socketErrors:-0}" = 0 ] &&
  awk -v g="$growth" 'BEGIN { exit !(g < 10) }'
