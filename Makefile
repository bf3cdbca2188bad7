# Two entry points for a fresh machine: `make demo` and `make test`.
.PHONY: all deps build test test-release test-asan fuzz demo clean

FUZZ_SECONDS ?= 20

all: build

deps:
	bash scripts/install-deps

build: deps
	cmake --preset release
	cmake --build --preset release

test-release: build
	ctest --preset release

test-asan: deps
	cmake --preset asan
	cmake --build --preset asan
	ctest --preset asan

fuzz: test-asan
	bash scripts/run-fuzz build-asan/bin/fuzz $(FUZZ_SECONDS)

test: test-release test-asan fuzz

demo: build
	bash scripts/demo build/bin

clean:
	rm -rf build build-asan demo-output
