# Two entry points for a fresh machine: `make demo` and `make test`.
.PHONY: all deps build test test-release test-asan test-tsan fuzz demo clean

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

# ThreadSanitizer over the threaded parts only: the encoder stage, the record loop and conversions.
test-tsan: deps
	cmake --preset tsan
	cmake --build --preset tsan
	ctest --preset tsan

fuzz: test-asan
	bash scripts/run-fuzz build-asan/bin/fuzz $(FUZZ_SECONDS)

test: test-release test-asan fuzz test-tsan

demo: build
	bash scripts/demo build/bin

clean:
	rm -rf build build-asan build-tsan demo-output
