#!/usr/bin/env bash
# The module on its intended platform: 32-bit Windows, and on i386 Linux.
#
#   build-mingw/  brindlework.dll and the Win32 console test programs, cross
#                 built with mingw-w64 and run under wine
#   build-i386/   the library and the test programs built with -m32
#
# Checks, each of which fails the script:
#   - the DLL is a 32-bit PE whose export table holds ProcessQELRequest alone,
#     undecorated;
#   - the DLL imports from system DLLs only (the C++ runtime is inside);
#   - the test suites pass under wine, loading the DLL with LoadLibrary;
#   - the test suites pass as i386 Linux programs.
# The page engine is not part of these builds, so its suites are left out.
#
# Installs the packages it needs when they are missing (as root), and builds
# GoogleTest for mingw once into build-mingw/gtest.  Running it again only
# rebuilds what changed.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc 2>/dev/null || echo 2)

mingw_dir=$root/build-mingw
i386_dir=$root/build-i386
mingw_triple=i686-w64-mingw32

# Test folders that need the page engine, which these builds leave out.
excluded_test_folders=(engine pages docs)
# Suites that only make sense on Linux: host_symbols_test reads the ELF
# symbol table with nm; the DLL's export table is checked below and by
# module_loading_test instead.
linux_only_suites=(host_symbols_test)

# DLLs that every Windows installation has; the module may import from these.
system_dlls=(kernel32.dll msvcrt.dll ntdll.dll user32.dll advapi32.dll)

log() { printf '== %s\n' "$*"; }
fail() { printf 'test-platforms: %s\n' "$*" >&2; exit 1; }

# --------------------------------------------------------------------------
# Packages

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

ensure_packages() {
  local wanted=(g++-mingw-w64-i686 googletest wine wine32:i386 g++-multilib
                libgtest-dev:i386 libgmock-dev:i386)
  local missing=() p
  for p in "${wanted[@]}"; do installed "$p" || missing+=("$p"); done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    fail "missing packages: ${missing[*]} (as root: dpkg --add-architecture i386; apt-get update; apt-get install -y ${missing[*]})"
  fi
  log "installing ${missing[*]}"
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# --------------------------------------------------------------------------
# Builds

# GoogleTest has no mingw package in Debian: build it from its source package.
build_mingw_gtest() {
  local prefix=$mingw_dir/gtest
  [ -f "$prefix/lib/libgtest.a" ] && [ -f "$prefix/lib/libgtest_main.a" ] && return 0
  log "building GoogleTest for $mingw_triple"
  cmake -S /usr/src/googletest -B "$mingw_dir/gtest-build" \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" >/dev/null
  cmake --build "$mingw_dir/gtest-build" -j"$jobs" >/dev/null
  cmake --install "$mingw_dir/gtest-build" >/dev/null
}

# The native build's optimisation and NDEBUG, without its debug information:
# it would double the compile and link time of these builds for nothing.
configure() {
  local dir=$1; shift
  cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -DNDEBUG" \
    -DBRINDLE_ENGINE=OFF -DBRINDLE_BENCH=OFF -DBRINDLE_TESTS=ON "$@" >/dev/null
}

# The names of the registered test suites, minus those of the excluded
# folders, one a line.  The folder of a suite is read from where CTest says
# its add_test was called.
module_suites() {
  (cd "$1" && ctest --show-only=json-v1) | python3 -c '
import json, os, sys
root, excluded = sys.argv[1], set(sys.argv[2:])
data = json.load(sys.stdin)
graph = data["backtraceGraph"]
for test in data["tests"]:
    folders = set()
    node = test.get("backtrace")
    while node is not None:
        path = os.path.relpath(graph["files"][graph["nodes"][node]["file"]], root)
        parts = path.split(os.sep)
        if len(parts) > 2 and parts[0] == "tests":
            folders.add(parts[1])
        node = graph["nodes"][node].get("parent")
    if not folders & excluded:
        print(test["name"])
' "$root" "${excluded_test_folders[@]}"
}

# Builds the module and the given suites.
build_targets() {
  local dir=$1; shift
  cmake --build "$dir" -j"$jobs" --target brindlework "$@"
}

# Runs exactly the given suites with CTest.
run_suites() {
  local dir=$1; shift
  local pattern
  pattern="^($(printf '%s|' "$@" | sed 's/|$//'))\$"
  (cd "$dir" && ctest --output-on-failure -j"$jobs" -R "$pattern")
}

# --------------------------------------------------------------------------
# Checks of the DLL

check_dll() {
  local dll=$mingw_dir/brindlework.dll
  [ -f "$dll" ] || fail "$dll was not built"
  local dump
  dump=$("$mingw_triple-objdump" -p "$dll")

  grep -q 'file format pei-i386' <<<"$dump" || fail "brindlework.dll is not a 32-bit PE image"

  # The export names, one a line, from the name pointer table.
  local exports
  exports=$(awk '/\[Ordinal\/Name Pointer\] Table/ {on=1; next}
                 on && /^[ \t]*$/ {on=0}
                 on {print $NF}' <<<"$dump")
  [ "$exports" = "ProcessQELRequest" ] ||
    fail "export table must hold ProcessQELRequest alone, found: $(tr '\n' ' ' <<<"$exports")"
  echo "exports: $exports"

  local dlls bad=() d
  dlls=$(awk '/DLL Name:/ {print $3}' <<<"$dump")
  for d in $dlls; do
    printf '%s\n' "${system_dlls[@]}" | grep -qixF "$d" || bad+=("$d")
  done
  [ ${#bad[@]} -eq 0 ] || fail "brindlework.dll depends on non-system DLLs: ${bad[*]}"
  echo "imports: $(tr '\n' ' ' <<<"$dlls")"
}

# The i386 module: an ELF32 object exporting ProcessQELRequest alone.
check_i386_library() {
  local so=$i386_dir/libbrindlework.so
  [ -f "$so" ] || fail "$so was not built"
  readelf -h "$so" | grep -q 'Class:\s*ELF32' || fail "libbrindlework.so in build-i386 is not ELF32"
  local exports
  exports=$(nm -D --defined-only "$so" | awk '$2 ~ /^[TtDdBbRrVvWw]$/ {print $3}' | sort -u)
  [ "$exports" = "ProcessQELRequest" ] ||
    fail "i386 library must export ProcessQELRequest alone, found: $(tr '\n' ' ' <<<"$exports")"
}

# --------------------------------------------------------------------------
# wine

start_wine() {
  export WINEPREFIX=$mingw_dir/wine WINEDEBUG=-all WINEARCH=win32
  # No Mono or Gecko: console programs need neither, and their installers
  # would ask questions.
  export WINEDLLOVERRIDES="mscoree,mshtml="
  unset DISPLAY
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    log "creating the wine prefix"
    wineboot --init >/dev/null 2>&1 || true
  fi
  wineserver -w 2>/dev/null || true
}

stop_wine() {
  [ -n "${WINEPREFIX:-}" ] && wineserver -k 2>/dev/null || true
}

# --------------------------------------------------------------------------

ensure_packages

# Some kernels are built without 32-bit program support (execve answers
# "Exec format error" for every i386 binary, wine's loader included).  There
# the two builds and their static checks still run; the suites cannot.
runs_32bit=yes
probe_dir=$(mktemp -d)
printf 'int main(void){return 0;}\n' >"$probe_dir/probe.c"
if ! gcc -m32 -o "$probe_dir/probe" "$probe_dir/probe.c" 2>/dev/null || ! "$probe_dir/probe" 2>/dev/null; then
  runs_32bit=no
  log "this kernel cannot run 32-bit programs: both builds are made and checked, their suites are not run"
fi
rm -rf "$probe_dir"

log "32-bit Windows: build-mingw"
build_mingw_gtest
configure "$mingw_dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
  -DCMAKE_PREFIX_PATH="$mingw_dir/gtest"
mapfile -t mingw_suites < <(module_suites "$mingw_dir" | grep -vxF -f <(printf '%s\n' "${linux_only_suites[@]}"))
[ ${#mingw_suites[@]} -gt 0 ] || fail "no test suites registered in $mingw_dir"
build_targets "$mingw_dir" "${mingw_suites[@]}"
check_dll
if [ "$runs_32bit" = yes ]; then
  start_wine
  trap stop_wine EXIT
  log "running under wine: ${mingw_suites[*]}"
  run_suites "$mingw_dir" "${mingw_suites[@]}"
  stop_wine
  trap - EXIT
fi

log "i386 Linux: build-i386"
configure "$i386_dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/linux-i386.cmake"
mapfile -t i386_suites < <(module_suites "$i386_dir")
[ ${#i386_suites[@]} -gt 0 ] || fail "no test suites registered in $i386_dir"
build_targets "$i386_dir" "${i386_suites[@]}"
check_i386_library
if [ "$runs_32bit" = yes ]; then
  log "running as i386: ${i386_suites[*]}"
  run_suites "$i386_dir" "${i386_suites[@]}"
fi

log "platforms passed"
