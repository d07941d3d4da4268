#!/usr/bin/env bash
# The production set-up of examples/nginx on loopback: nginx (Debian's
# nginx-light) in front of `brindle serve`, with the shipped brindle.conf and
# brindle_proxy.conf, changed only to listen on plain HTTP on 127.0.0.1 and
# to point at a temporary copy of the demo site.  Checks that pages are
# rendered by brindle, static files are sent by nginx (brindle's access log
# never sees them), hidden files stay hidden, a form reaches the page, and
# the administrator's page answers through the proxy.  Everything runs in a
# temporary folder with its own configuration and pid file; both servers are
# stopped at the end.  Takes a few seconds.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
command -v nginx >/dev/null || bash scripts/install-deps.sh nginx-light
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target brindle brindlework -j"$(nproc 2>/dev/null || echo 2)" >/dev/null

work=$(mktemp -d)
chmod 755 "$work"
brindle_pid=""
cleanup() {
  [ -f "$work/nginx.pid" ] && kill "$(cat "$work/nginx.pid")" 2>/dev/null || true
  [ -n "$brindle_pid" ] && kill "$brindle_pid" 2>/dev/null && wait "$brindle_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
cp -r examples/site "$work/site"
echo "hidden" >"$work/site/.hidden"
chmod -R a+rX "$work/site"

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
brindle_port=$(free_port)
nginx_port=$(free_port)

BRINDLE_ADMIN_TOKEN=proxy-test "$build/engine/brindle" serve --root "$work/site" \
  --listen "127.0.0.1:$brindle_port" --module "$build/libbrindlework.so" \
  --max-connections-per-address 0 --access-log "$work/brindle-access.log" >"$work/brindle.out" 2>"$work/brindle.err" &
brindle_pid=$!

# The shipped snippet, on plain HTTP on loopback, with this run's folders and ports.
sed -e "s|listen 443 ssl;|listen 127.0.0.1:$nginx_port;|" -e '/listen \[::\]:443/d' -e '/ssl_certificate/d' \
    -e "s|/srv/site|$work/site|" -e "s|127.0.0.1:8080|127.0.0.1:$brindle_port|" \
    -e "s|/etc/nginx/brindle_proxy.conf|$work/brindle_proxy.conf|" \
    examples/nginx/brindle.conf >"$work/brindle.conf"
cp examples/nginx/brindle_proxy.conf "$work/brindle_proxy.conf"
mkdir -p "$work/temp"
cat >"$work/nginx.conf" <<CONF
worker_processes 1;
pid $work/nginx.pid;
error_log $work/nginx-error.log;
events { worker_connections 256; }
http {
    include /etc/nginx/mime.types;
    access_log $work/nginx-access.log;
    client_body_temp_path $work/temp/body;
    proxy_temp_path $work/temp/proxy;
    fastcgi_temp_path $work/temp/fastcgi;
    uwsgi_temp_path $work/temp/uwsgi;
    scgi_temp_path $work/temp/scgi;
    include $work/brindle.conf;
}
CONF
nginx -t -q -c "$work/nginx.conf" -p "$work"
nginx -c "$work/nginx.conf" -p "$work"

for _ in $(seq 100); do
  grep -q "at http://" "$work/brindle.out" 2>/dev/null && [ -f "$work/nginx.pid" ] && break
  sleep 0.1
done

base="http://127.0.0.1:$nginx_port"
failures=0
check() {  # NAME EXPECTED ACTUAL
  if [ "$2" = "$3" ]; then echo "ok   $1"; else echo "FAIL $1: expected [$2], got [$3]"; failures=$((failures + 1)); fi
}
check "a page is rendered by brindle" "200 0" \
  "$(curl -s -o "$work/page" -w '%{http_code} ' "$base/index.html")$(curl -s -D - -o /dev/null "$base/index.html" | tr -d '\r' | awk -F': ' 'tolower($1)=="x-brindle-reports" {print $2}')"
check "the rendered page has no tags left" "0" "$(grep -c '<qel' "$work/page" || true)"
check "a folder's index page is rendered" "200" "$(curl -s -o /dev/null -w '%{http_code}' "$base/")"
check "a static file is sent" "200" "$(curl -s -o /dev/null -w '%{http_code}' "$base/style.css")"
check "a hidden file stays hidden" "404" "$(curl -s -o /dev/null -w '%{http_code}' "$base/.hidden")"
check "a form reaches the page" "1" \
  "$(curl -s --data 'name=proxied-visitor' "$base/forms/echo.html" | grep -q 'PROXIED-VISITOR' && echo 1 || echo 0)"
check "the administrator's page answers" "200" \
  "$(curl -s -o /dev/null -w '%{http_code}' -H 'X-Brindle-Token: proxy-test' "$base/_brindle/properties?region=")"
check "brindle never saw the static file" "0" "$(grep -c 'style.css' "$work/brindle-access.log" || true)"
check "brindle saw the page" "1" "$(grep -q '"GET /index.html HTTP/1.1" 200' "$work/brindle-access.log" && echo 1 || echo 0)"
if [ "$failures" -ne 0 ]; then
  echo "--- brindle"; cat "$work/brindle.err"; echo "--- nginx"; cat "$work/nginx-error.log"
  exit 1
fi
echo "nginx in front of brindle: all checks passed"
