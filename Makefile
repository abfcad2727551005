# Thin wrapper over the CMake presets. `make run` and `make test` are the two
# commands a newcomer needs; both install missing packages first.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60
# Per target: `make test` runs every target this long (about a minute for all).
FUZZ_TEST_SECONDS ?= 10
FUZZ_TARGETS := frame_cutter server_frames command_file scenario settings_file update_exchange

.PHONY: all setup build run test test-fuzz bench fuzz format lint clean screenshots

all: build

setup:
	@bash scripts/setup.sh

configure-%: setup
	@cmake --preset $* >/dev/null

build-%: configure-%
	@cmake --build --preset $* -j $(JOBS)

build: build-debug

run: build-debug
	@bash scripts/run.sh build/debug

test: test-debug lint build-clang test-asan test-tsan test-fuzz
	@bash scripts/summary.sh build/debug/ctest.log build/asan/ctest.log build/tsan/ctest.log

test-%: build-%
	@set -o pipefail; ctest --preset $* -j $(JOBS) 2>&1 | tee build/$*/ctest.log

test-fuzz: build-fuzz
	@for t in $(FUZZ_TARGETS); do \
	  bash scripts/fuzz.sh build/fuzz $$t $(FUZZ_TEST_SECONDS) || exit 1; \
	done

screenshots: build-debug
	@bash scripts/screenshots.sh build/debug docs/screenshots

bench: build-release
	@for b in build/release/bench/bench_*; do echo "== $$b"; $$b || exit 1; done

fuzz: build-fuzz
	@for t in $(FUZZ_TARGETS); do \
	  bash scripts/fuzz.sh build/fuzz $$t $(FUZZ_SECONDS) || exit 1; \
	done

# Formatting and clang-tidy; needs the debug build's compile commands.
lint: build-debug
	@bash scripts/lint.sh build/debug

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
