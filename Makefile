# The one entry point: setup, builds, tests, demo and benchmarks.
SHELL := /bin/bash
ROOT := $(abspath .)
JOBS ?= $(shell nproc)
BUILD_TYPE ?= RelWithDebInfo

CMAKE_NATIVE = cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)
# The sanitizer trees keep line tables only: a report's stack still names
# every function and line, and the trees build faster than with full
# debug information (configure one with -DCMAKE_CXX_FLAGS_DEBUG=-g to step through it).
SANITIZER_DEBUG = -DCMAKE_C_FLAGS_DEBUG=-gline-tables-only -DCMAKE_CXX_FLAGS_DEBUG=-gline-tables-only
CMAKE_ASAN = cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug $(SANITIZER_DEBUG) \
	-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DSANITIZE=address,undefined
CMAKE_TSAN = cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug $(SANITIZER_DEBUG) \
	-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DSANITIZE=thread
# Only the threaded parts run under the thread sanitizer: the tests that name
# their cases with TSAN (cmake/Testing.cmake) make the target tsan_tests and the label tsan.
# libFuzzer targets (fuzz/) over the product libraries built with the fuzzer's instrumentation.
CMAKE_FUZZ = cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DSANITIZE=address,undefined -DFUZZ=ON
FUZZ_SECONDS ?= 120
CMAKE_WIN = cmake -S . -B build-win -G Ninja -DCMAKE_BUILD_TYPE=Release \
	-DCMAKE_TOOLCHAIN_FILE=$(ROOT)/cmake/mingw-w64-x86_64.cmake -DHOST_TOOLS_DIR=$(ROOT)/build/bin

.PHONY: setup setup-build build check asan tsan windows fuzz-build fuzz test demo bench install dist clean

# What the demo runs (scripts/demo.sh) and what the packages hold: built alone,
# without the tests.
DEMO_TARGETS = brevan-shipped receiver-sim flash-check
INSTALL_TARGETS = brevan-shipped torvik brevan-pack receiver-sim
WIN_DIST_TARGETS = brevan-shipped torvik
PREFIX ?= /usr/local

# Everything the builds and tests need; setup-build only what the native build
# needs, so that a fresh machine's make demo installs its own and no more.
setup:
	bash scripts/setup.sh all

setup-build:
	@bash scripts/setup.sh build

build: setup-build
	@[ -f build/build.ninja ] || $(CMAKE_NATIVE)
	cmake --build build -j $(JOBS)

# The native tests that do not wait on real time (labels: cmake/Testing.cmake).
check: build
	ctest --test-dir build --output-on-failure -j $(JOBS) -LE realtime --timeout 300

# Sanitizer build with clang, so that both compilers check the warnings.
asan:
	@[ -f build-asan/build.ninja ] || $(CMAKE_ASAN)
	cmake --build build-asan -j $(JOBS)

tsan:
	@[ -f build-tsan/build.ninja ] || $(CMAKE_TSAN)
	cmake --build build-tsan -j $(JOBS) --target tsan_tests

windows: build
	@[ -f build-win/build.ninja ] || $(CMAKE_WIN)
	cmake --build build-win -j $(JOBS)

fuzz-build:
	@[ -f build-fuzz/build.ninja ] || $(CMAKE_FUZZ)
	cmake --build build-fuzz -j $(JOBS) --target fuzz_all

# Each fuzz target for FUZZ_SECONDS, its corpus growing in build-fuzz/corpus/.
fuzz: fuzz-build
	bash scripts/fuzz.sh long $(FUZZ_SECONDS)

# On a fresh machine the native build's packages come first; the rest (the
# sanitizers' compiler, Wine, MinGW, the tests' tools: mostly downloads)
# installs while the native tree compiles. Its output is shown once it ends.
# The other trees build beside the suites that mostly wait (scripts/run-tests.sh).
test: setup-build
	@bash scripts/setup.sh all >build-setup.log 2>&1 & setup=$$!; \
	  $(MAKE) --no-print-directory build; built=$$?; \
	  wait $$setup; installed=$$?; cat build-setup.log; rm -f build-setup.log; \
	  [ $$installed -eq 0 ] || { echo "setup failed" >&2; exit 1; }; exit $$built
	bash scripts/run-tests.sh --build

demo: setup-build
	@[ -f build/build.ninja ] || $(CMAKE_NATIVE)
	cmake --build build -j $(JOBS) --target $(DEMO_TARGETS)
	bash scripts/demo.sh

# The Linux programs, man pages and sample receiver-type file under PREFIX
# (DESTDIR is honoured as usual).
install: setup-build
	@[ -f build/build.ninja ] || $(CMAKE_NATIVE)
	cmake --build build -j $(JOBS) --target $(INSTALL_TARGETS)
	DESTDIR="$(DESTDIR)" cmake --install build --prefix "$(PREFIX)"

# dist/: the Debian package (CPack, checked by lintian) and the Windows zip.
dist: setup
	@[ -f build/build.ninja ] || $(CMAKE_NATIVE)
	cmake --build build -j $(JOBS) --target $(INSTALL_TARGETS)
	@[ -f build-win/build.ninja ] || $(CMAKE_WIN)
	cmake --build build-win -j $(JOBS) --target $(WIN_DIST_TARGETS)
	rm -rf build/cpack build-win/cpack
	cd build && cpack -B $(ROOT)/build/cpack
	cd build-win && cpack -B $(ROOT)/build-win/cpack
	mkdir -p dist
	rm -f dist/brevan-torvik[-_]*
	cp build/cpack/brevan-torvik_*_amd64.deb build-win/cpack/brevan-torvik-*-win64.zip dist/
	lintian --allow-root --fail-on error dist/brevan-torvik_*_amd64.deb
	@ls -l dist

bench: build
	bash scripts/bench.sh

# Upgrades and Sets with random faults in one process; not part of make test.
soak: setup-build
	@[ -f build/build.ninja ] || $(CMAKE_NATIVE)
	cmake --build build -j $(JOBS) --target soak
	./build/bin/soak --runs 200

clean:
	rm -rf build build-asan build-tsan build-win build-bench build-fuzz
