#!/usr/bin/env bash
# Installs the system packages the build and the tests need, when missing.
# Extra package names may be passed as arguments.  As root it runs apt-get;
# otherwise it names what is missing and stops.
set -euo pipefail

packages=(cmake g++ make python3 libgtest-dev libgmock-dev libbenchmark-dev pkg-config "$@")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "missing system packages: ${missing[*]}" >&2
  echo "install them with: sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi
echo "installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq || true
apt-get install -y -qq "${missing[@]}"
