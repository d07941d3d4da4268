#!/usr/bin/env bash
# Installing like a Unix package: installs the build into a temporary prefix
# (with DESTDIR, as a packager would), then checks what a user and a host's
# developer get from it:
#   - the files in their places, the module's SONAME and version;
#   - the installed brindle rendering the installed demo page with the
#     installed module, found without --module, from a folder outside the
#     source tree;
#   - the example host built against the installed tree through pkg-config
#     and through find_package(Brindlework), and run;
#   - the man pages free of groff and man warnings;
#   - the Debian package (CPack), unpacked with dpkg-deb into a temporary
#     root and run from there.
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$PWD
bash scripts/install-deps.sh libmicrohttpd-dev libsqlite3-dev libpq-dev groff-base man-db dpkg-dev gcc >/dev/null
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc 2>/dev/null || echo 2)" --target brindle brindlework >/dev/null

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "test-install: $*" >&2; exit 1; }
# Nothing from the source tree or the caller's environment may help.
unset BRINDLE_MODULE PKG_CONFIG_PATH

# --- make install's recipe: DESTDIR and a prefix
DESTDIR="$tmp/stage" cmake --install "$build" --prefix /opt/brindlework >/dev/null
prefix=$tmp/stage/opt/brindlework
libdir=$(dirname "$(find "$prefix" -name 'libbrindlework.so.2' | head -1)")
[ -n "$libdir" ] || fail "no libbrindlework.so.2 under $prefix"
for file in bin/brindle include/brindlework/module.h share/man/man1/brindle.1 \
            share/man/man7/brindle-pages.7 share/doc/brindlework/README.md \
            share/doc/brindlework/page-language.md share/doc/brindlework/examples/host/host.c \
            share/doc/brindlework/examples/systemd/brindle.service \
            share/brindlework/site/index.html; do
  [ -e "$prefix/$file" ] || fail "$file was not installed"
done
for file in libbrindlework.so libbrindlework.so.2 libbrindlework.so.2.1.7 pkgconfig/brindlework.pc \
            cmake/Brindlework/BrindleworkConfig.cmake cmake/Brindlework/BrindleworkTargets.cmake; do
  [ -e "$libdir/$file" ] || fail "$file was not installed in $libdir"
done
readelf -d "$libdir/libbrindlework.so.2.1.7" | grep -q 'SONAME.*\[libbrindlework\.so\.2\]' ||
  fail "the module's SONAME is not libbrindlework.so.2"
echo "installed into DESTDIR/opt/brindlework"

# --- the installed brindle finds the installed module by itself
expected=$("$build/engine/brindle" render examples/site/index.html)
render_from() {  # PREFIX: its brindle renders its demo page, from outside the source tree
  (cd "$tmp" && "$1/bin/brindle" render "$1/share/brindlework/site/index.html")
}
actual=$(render_from "$prefix") || fail "the installed brindle could not render the demo page"
[ "$actual" = "$expected" ] || fail "the installed brindle rendered the demo page differently"
(cd "$tmp" && "$prefix/bin/brindle" --version) | grep -q "Brindlework" ||
  fail "the installed brindle --version does not name the module"
echo "installed brindle rendered the demo page with the installed module"

# --- the example host, through pkg-config and through CMake
export PKG_CONFIG_PATH="$libdir/pkgconfig"
[ "$(pkg-config --modversion brindlework)" = "2.1.7" ] || fail "pkg-config does not see version 2.1.7"
# shellcheck disable=SC2046
gcc -Wall -Werror "$source_dir/examples/host/host.c" $(pkg-config --cflags --libs brindlework) \
  -o "$tmp/host-pkg-config"
[ "$(LD_LIBRARY_PATH="$libdir" "$tmp/host-pkg-config")" = "HELLO, WORLD" ] ||
  fail "the example host built with pkg-config did not render its tag"
cmake -S "$source_dir/examples/host" -B "$tmp/host-cmake" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$tmp/host-cmake" >/dev/null
[ "$("$tmp/host-cmake/host" "built with cmake")" = "BUILT WITH CMAKE" ] ||
  fail "the example host built with find_package(Brindlework) did not render its tag"
unset PKG_CONFIG_PATH
echo "example host built and run through pkg-config and find_package"

# --- man pages
for page in "$prefix/share/man/man1/brindle.1" "$prefix/share/man/man7/brindle-pages.7"; do
  warnings=$(groff -man -z -ww "$page" 2>&1 || true)
  [ -z "$warnings" ] || fail "groff warns about $page: $warnings"
  warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null || true)
  [ -z "$warnings" ] || fail "man warns about $page: $warnings"
done
echo "man pages clean"

# --- the Debian package, unpacked and run
cpack --config "$build/CPackConfig.cmake" -B "$tmp/package" >/dev/null
deb=$(ls "$tmp"/package/brindlework_*.deb)
[ "$(dpkg-deb -f "$deb" Package)" = "brindlework" ] || fail "the package is not named brindlework"
dpkg-deb -f "$deb" Depends | grep -q libsqlite3 || fail "the package does not depend on libsqlite3"
dpkg-deb -f "$deb" Depends | grep -q libmicrohttpd || fail "the package does not depend on libmicrohttpd"
dpkg-deb -x "$deb" "$tmp/root"
actual=$(render_from "$tmp/root/usr") || fail "brindle from the package could not render the demo page"
[ "$actual" = "$expected" ] || fail "brindle from the package rendered the demo page differently"
echo "package $(basename "$deb") unpacked and rendered the demo page"
echo "install checks passed"
