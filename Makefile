# The two commands of the project (see README.md):
#   make demo   builds the module and renders the demo page
#   make test   installs what is missing, then builds and runs every suite
#   make fuzz   runs each fuzz target for FUZZ_SECONDS (default 60)
#   make install [PREFIX=/usr/local] [DESTDIR=staging]   installs the build
#   make package   builds the Debian package into build/packages/
.PHONY: all build demo test bench fuzz clean install package

PREFIX ?= /usr/local

all: build

build:
	bash scripts/install-deps.sh libmicrohttpd-dev libsqlite3-dev libpq-dev
	cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	cmake --build build -j$$(nproc)

demo: build
	@if [ -x build/engine/brindle ]; then build/engine/brindle render examples/site/index.html; \
	else echo "built build/libbrindlework.so"; fi

test:
	bash scripts/test.sh

# DESTDIR is passed on through the environment, as cmake --install expects.
install: build
	DESTDIR="$(DESTDIR)" cmake --install build --prefix "$(PREFIX)"

package: build
	cmake --build build --target package

FUZZ_SECONDS ?= 60
fuzz:
	FUZZ_SECONDS=$(FUZZ_SECONDS) bash scripts/test-fuzz.sh

bench:
	bash scripts/bench.sh

clean:
	rm -rf build build-asan build-tsan
