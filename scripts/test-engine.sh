#!/usr/bin/env bash
# Installs what the page engine and its tests need, when missing: GNU
# libmicrohttpd, SQLite and libpq for the engine, Chromium and chromedriver for the browser
# test, Jinja2 for the engine benchmark's comparison.  Idempotent; as root it
# runs apt-get, otherwise it names what is missing and stops.  The engine's
# tests themselves run with the other suites under ctest.
set -euo pipefail
cd "$(dirname "$0")/.."
exec bash scripts/install-deps.sh libmicrohttpd-dev libsqlite3-dev libpq-dev chromium chromium-driver python3 python3-jinja2
