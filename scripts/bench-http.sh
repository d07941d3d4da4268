#!/usr/bin/env bash
# Three servers of tag pages side by side on loopback, in one run: Apache
# httpd with mod_include, nginx with ssi, and `brindle serve`.  Each serves
# the same three pages from its own folder: a static file of 5 KB, and pages
# of 20 and 100 directives, half of them conditions on a string and half an
# HTML-encoded text:
#   Apache   <!--#if expr="v('word') = 'brindle'" -->  <!--#echo var="text" encoding="entity" -->
#   nginx    <!--# if expr="$word = brindle" -->         <!--# echo var="text" encoding="entity" -->
#   brindle  <qelIf lhs="brindle" relationship="equals" rhs="brindle">  <qelString mode="htmlEncode">
# (the SSI pages also set their two variables once at the top).  Every
# server runs from a configuration under a temporary folder, in the
# foreground of this script with a pid file of its own, without access logs,
# with keep-alive unlimited; all are stopped at the end.  wrk then loads
# each page of each server in turn (BENCH_CONNECTIONS, default 32, for
# BENCH_SECONDS, default 10) and the script prints requests per second and
# the 99th-percentile latency, then each server's CPU per request, with
# brindle's ratio to the others (for CPU: how many times less it uses).
# Installs wrk, apache2 and nginx-light (Debian) when missing; run as root.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
seconds=${BENCH_SECONDS:-10}
connections=${BENCH_CONNECTIONS:-32}
rounds=${BENCH_ROUNDS:-3}
for tool in wrk apache2 nginx; do
  command -v "$tool" >/dev/null || bash scripts/install-deps.sh wrk apache2 nginx-light
done
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target brindle brindlework -j"$(nproc 2>/dev/null || echo 2)" >/dev/null

work=$(mktemp -d)
chmod 755 "$work"
brindle_pid=""
cleanup() {
  for pidfile in "$work/nginx.pid" "$work/apache.pid"; do
    [ -f "$pidfile" ] && kill "$(cat "$pidfile")" 2>/dev/null || true
  done
  [ -n "$brindle_pid" ] && kill "$brindle_pid" 2>/dev/null && wait "$brindle_pid" 2>/dev/null || true
  sleep 0.5
  rm -rf "$work"
}
trap cleanup EXIT

# The pages: $1 folder, $2 kind (ssi-apache, ssi-nginx, brindle).
write_pages() {
  local dir=$1 kind=$2
  mkdir -p "$dir"
  head -c 5120 /dev/zero | tr '\0' 'x' >"$dir/static.txt"
  for n in 20 100; do
    {
      echo "<!DOCTYPE html><html><head><title>$n directives</title></head><body>"
      case $kind in
        ssi-apache) echo "<!--#set var=\"word\" value=\"brindle\" --><!--#set var=\"text\" value=\"Fish & chips < 5 'quid'\" -->" ;;
        ssi-nginx) echo "<!--# set var=\"word\" value=\"brindle\" --><!--# set var=\"text\" value=\"Fish & chips < 5 'quid'\" -->" ;;
      esac
      for ((i = 0; i < n / 2; i++)); do
        case $kind in
          ssi-apache)
            echo "<p>$i <!--#if expr=\"v('word') = 'brindle'\" -->yes<!--#else -->no<!--#endif --></p>"
            echo "<p><!--#echo var=\"text\" encoding=\"entity\" --></p>" ;;
          ssi-nginx)
            echo "<p>$i <!--# if expr=\"\$word = brindle\" -->yes<!--# else -->no<!--# endif --></p>"
            echo "<p><!--# echo var=\"text\" encoding=\"entity\" --></p>" ;;
          brindle)
            echo "<p>$i <qelIf lhs=\"brindle\" relationship=\"equals\" rhs=\"brindle\">yes<qelElse>no</qelIf></p>"
            echo "<p><qelString mode=\"htmlEncode\">Fish & chips < 5 'quid'</qelString></p>" ;;
        esac
      done
      echo "</body></html>"
    } >"$dir/page$n.html"
  done
  chmod -R a+rX "$dir"
}
write_pages "$work/apache" ssi-apache
write_pages "$work/nginx" ssi-nginx
write_pages "$work/brindle" brindle

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
apache_port=$(free_port)
nginx_port=$(free_port)
brindle_port=$(free_port)
modules=/usr/lib/apache2/modules

cat >"$work/apache.conf" <<CONF
ServerRoot $work
ServerName localhost
Listen 127.0.0.1:$apache_port
PidFile $work/apache.pid
ErrorLog $work/apache-error.log
LoadModule mpm_event_module $modules/mod_mpm_event.so
LoadModule authz_core_module $modules/mod_authz_core.so
LoadModule mime_module $modules/mod_mime.so
LoadModule include_module $modules/mod_include.so
User www-data
Group www-data
TypesConfig /etc/mime.types
KeepAlive On
MaxKeepAliveRequests 0
DocumentRoot $work/apache
<Directory $work/apache>
    Options +Includes
    AddType text/html .html
    AddOutputFilter INCLUDES .html
    Require all granted
</Directory>
CONF

mkdir -p "$work/nginx-temp"
cat >"$work/nginx.conf" <<CONF
worker_processes auto;
pid $work/nginx.pid;
error_log $work/nginx-error.log;
events { worker_connections 1024; }
http {
    include /etc/nginx/mime.types;
    access_log off;
    keepalive_requests 1000000;
    client_body_temp_path $work/nginx-temp/body;
    proxy_temp_path $work/nginx-temp/proxy;
    fastcgi_temp_path $work/nginx-temp/fastcgi;
    uwsgi_temp_path $work/nginx-temp/uwsgi;
    scgi_temp_path $work/nginx-temp/scgi;
    server {
        listen 127.0.0.1:$nginx_port;
        root $work/nginx;
        location / { ssi on; }
    }
}
CONF

apache2 -f "$work/apache.conf" -DFOREGROUND &
nginx -c "$work/nginx.conf" -p "$work"
"$build/engine/brindle" serve --root "$work/brindle" --listen "127.0.0.1:$brindle_port" \
  --module "$build/libbrindlework.so" >"$work/brindle.out" 2>"$work/brindle.err" &
brindle_pid=$!

for port in $apache_port $nginx_port $brindle_port; do
  for _ in $(seq 100); do
    curl -sf -o /dev/null "http://127.0.0.1:$port/static.txt" && break
    sleep 0.1
  done
done
# Each server's 20-directive page, to show that all three do the same work.
for port in $apache_port $nginx_port $brindle_port; do
  curl -sf "http://127.0.0.1:$port/page20.html" | sed -n 3,4p
done

# The CPU a server has used so far (user and system, all its processes and
# threads), in clock ticks: wrk shares the machine's cores with the server,
# so requests per second alone also measure how much CPU the server leaves
# to wrk; CPU per request is the server's own cost.
server_pids() {
  case $1 in
    apache) local main; main=$(cat "$work/apache.pid"); echo "$main" $(pgrep -P "$main") ;;
    nginx) local main; main=$(cat "$work/nginx.pid"); echo "$main" $(pgrep -P "$main") ;;
    brindle) echo "$brindle_pid" ;;
  esac
}
cpu_ticks() {
  local total=0 pid
  for pid in $(server_pids "$1"); do
    [ -r "/proc/$pid/stat" ] || continue
    total=$((total + $(awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$pid/stat")))
  done
  echo "$total"
}
ticks_per_second=$(getconf CLK_TCK)

# The speed of this machine's cores drifts by up to 2x over minutes (other
# machines share its host), so the servers take turns: BENCH_ROUNDS rounds
# (default 3), each loading every page of every server once, and each
# figure is the median of its rounds.
median() { tr ' ' '\n' | sed '/^$/d' | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
declare -A rps p99 cpu
for ((round = 1; round <= rounds; round++)); do
  for page in static.txt page20.html page100.html; do
    for server in apache nginx brindle; do
      port_var="${server}_port"
      before=$(cpu_ticks "$server")
      out=$(wrk -t2 -c"$connections" -d"${seconds}s" --latency "http://127.0.0.1:${!port_var}/$page")
      after=$(cpu_ticks "$server")
      rps[$server,$page]+=" $(awk '/Requests\/sec/ {printf "%.0f", $2}' <<<"$out")"
      p99[$server,$page]+=" $(awk '$1 == "99%" { v = $2; if (v ~ /us$/) v = v / 1000; else if (v ~ /ms$/) v = v + 0; else v = v * 1000; printf "%.2f", v }' <<<"$out")"
      requests=$(awk '/requests in/ {print $1}' <<<"$out")
      cpu[$server,$page]+=" $(awk -v t=$((after - before)) -v hz="$ticks_per_second" -v n="$requests" \
        'BEGIN { printf "%.1f", (n > 0 ? t / hz * 1e6 / n : 0) }')"
      errors=$(awk '/Non-2xx|Socket errors/' <<<"$out")
      [ -n "$errors" ] && echo "$server $page: $errors"
    done
  done
done
for key in "${!rps[@]}"; do
  rps[$key]=$(median <<<"${rps[$key]}")
  p99[$key]="$(median <<<"${p99[$key]}")ms"
  cpu[$key]=$(median <<<"${cpu[$key]}")
done

echo
echo "wrk -t2 -c$connections -d${seconds}s on 127.0.0.1, median of $rounds rounds: requests/s (p99 latency)"
printf "%-14s %22s %22s %22s %10s %10s\n" page "Apache + mod_include" "nginx + ssi" "brindle serve" "vs nginx" "vs Apache"
for page in static.txt page20.html page100.html; do
  printf "%-14s %22s %22s %22s %10s %10s\n" "$page" \
    "${rps[apache,$page]} (${p99[apache,$page]})" "${rps[nginx,$page]} (${p99[nginx,$page]})" \
    "${rps[brindle,$page]} (${p99[brindle,$page]})" \
    "$(awk -v a="${rps[brindle,$page]}" -v b="${rps[nginx,$page]}" 'BEGIN { printf "%.2fx", a / b }')" \
    "$(awk -v a="${rps[brindle,$page]}" -v b="${rps[apache,$page]}" 'BEGIN { printf "%.2fx", a / b }')"
done
echo
echo "server CPU per request, microseconds (user + system, all of the server's processes)"
printf "%-14s %22s %22s %22s %10s %10s\n" page "Apache + mod_include" "nginx + ssi" "brindle serve" "vs nginx" "vs Apache"
for page in static.txt page20.html page100.html; do
  printf "%-14s %22s %22s %22s %10s %10s\n" "$page" "${cpu[apache,$page]}" "${cpu[nginx,$page]}" "${cpu[brindle,$page]}" \
    "$(awk -v a="${cpu[brindle,$page]}" -v b="${cpu[nginx,$page]}" 'BEGIN { printf "%.2fx", b / a }')" \
    "$(awk -v a="${cpu[brindle,$page]}" -v b="${cpu[apache,$page]}" 'BEGIN { printf "%.2fx", b / a }')"
done
