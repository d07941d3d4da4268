#!/usr/bin/env bash
# Region properties shared by two `brindle serve` processes through
# PostgreSQL (tests/postgres/shared_properties_test.py).  Installs Debian's
# postgresql when missing, starts a private cluster in a temporary folder on
# a free loopback port (as the postgres user when run as root, since initdb
# refuses root), runs the test, and stops and removes the cluster however the
# script ends.  Builds the engine and the module in build/ when needed.
# Takes about half a minute.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh postgresql libpq-dev
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target brindle brindlework -j"$(nproc 2>/dev/null || echo 2)" >/dev/null

bin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)
tmp=$(mktemp -d /tmp/brindle-pg.XXXXXX)
chmod 755 "$tmp"
as_owner=()
if [ "$(id -u)" -eq 0 ]; then
  chown postgres "$tmp"
  as_owner=(runuser -u postgres --)
fi
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
data="$tmp/data"

# The cluster's control, for the test: stop; start; private SQL, which
# starts the cluster where no server can reach it (no TCP, a socket
# elsewhere), runs SQL and stops it again.
cat > "$tmp/cluster.sh" <<SCRIPT
#!/usr/bin/env bash
set -euo pipefail
ctl() { ${as_owner[*]} "$bin/pg_ctl" -D "$data" -l "$tmp/server.log" -w -t 30 "\$@" >/dev/null; }
case "\$1" in
  stop) ctl stop -m fast ;;
  start) ctl start -o "-p $port -c listen_addresses=127.0.0.1 -c unix_socket_directories=$tmp" ;;
  private)
    mkdir -p "$tmp/private" && chown --reference="$tmp" "$tmp/private"
    ctl start -o "-p $port -c listen_addresses='' -c unix_socket_directories=$tmp/private"
    "$bin/psql" -h "$tmp/private" -p $port -U brindle -d brindle -v ON_ERROR_STOP=1 -qc "\$2"
    ctl stop -m fast ;;
esac
SCRIPT
chmod 755 "$tmp/cluster.sh"

stop_cluster() {
  "${as_owner[@]}" "$bin/pg_ctl" -D "$data" -m immediate stop >/dev/null 2>&1 || true
  rm -rf "$tmp"
}
trap stop_cluster EXIT

"${as_owner[@]}" "$bin/initdb" -D "$data" -U brindle -A trust -E UTF8 --locale=C --no-sync >/dev/null
# No fsync: the cluster lives for one test run.
echo "fsync = off" >> "$data/postgresql.conf"
bash "$tmp/cluster.sh" start
"$bin/createdb" -h 127.0.0.1 -p "$port" -U brindle brindle

timeout 120 python3 tests/postgres/shared_properties_test.py \
  --brindle "$build/engine/brindle" --module "$build/libbrindlework.so" \
  --props "postgresql://brindle@127.0.0.1:$port/brindle" \
  --psql "$bin/psql -h 127.0.0.1 -p $port -U brindle -d brindle -v ON_ERROR_STOP=1" \
  --cluster "bash $tmp/cluster.sh"
