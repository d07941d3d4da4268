# The two commands of the project (see README.md):
#   make demo   builds the module and the engine, renders the demo page
#   make test   installs what is missing, then builds and runs every suite
#   make fuzz   runs each fuzz target for FUZZ_SECONDS (default 60)
#   make install [PREFIX=/usr/local] [DESTDIR=staging]   installs the build
#   make package   builds the Debian package into build/packages/
.PHONY: all build demo test bench fuzz clean install package

PREFIX ?= /usr/local

all: build

ENGINE_PACKAGES = libmicrohttpd-dev libsqlite3-dev libpq-dev

build:
	bash scripts/install-deps.sh $(ENGINE_PACKAGES)
	cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	cmake --build build -j$$(nproc)

# Only the module and the engine, quietly (the log is kept, and its end shown
# when the build fails); then the demo page, and what to try next.
demo:
	@bash scripts/install-deps.sh $(ENGINE_PACKAGES)
	@mkdir -p build
	@echo "building the module and the engine (log: build/make-demo.log)..."
	@{ cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo && \
	   cmake --build build -j$$(nproc) --target brindlework brindle; } >build/make-demo.log 2>&1 || \
	   { tail -n 40 build/make-demo.log; exit 1; }
	@echo "build/engine/brindle render examples/site/index.html --param name=Ada"
	@echo
	@build/engine/brindle render examples/site/index.html --param name=Ada
	@echo
	@echo "Next, serve the demo site and open http://127.0.0.1:8080/ in a browser:"
	@echo "  build/engine/brindle serve --root examples/site"

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
