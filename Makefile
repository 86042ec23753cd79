# Two entry points: `make run` starts the configurator, `make test` runs every test.
JOBS ?= $(shell nproc)

.PHONY: all deps build run test build-asan test-asan fuzz clean

all: build

deps:
	@bash scripts/install-deps.sh

build: deps
	cmake --preset default >/dev/null
	cmake --build --preset default -j $(JOBS)

run: build
	@bash scripts/run-configurator.sh build/bin

test: build
	cd build && ctest --output-on-failure -j $(JOBS)

build-asan: deps
	cmake --preset asan >/dev/null
	cmake --build --preset asan -j $(JOBS)

test-asan: build-asan
	cd build-asan && ctest --output-on-failure -j $(JOBS)

# Runs each libFuzzer target for FUZZ_SECONDS (clang build).
FUZZ_SECONDS ?= 30
fuzz: deps
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS)
	@bash scripts/run-fuzzers.sh build-fuzz/bin $(FUZZ_SECONDS)

clean:
	rm -rf build build-asan build-fuzz
