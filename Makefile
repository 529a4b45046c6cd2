# Thin wrapper over the CMake presets.
PRESET ?= release
JOBS ?= $(shell nproc)

.PHONY: deps demo build test asan-test fuzz bench format clean install-cups

deps:
	@scripts/install-deps.sh

build: deps
	cmake --preset $(PRESET) >/dev/null
	cmake --build --preset $(PRESET) -j $(JOBS)

demo: build
	@scripts/demo.sh build/$(PRESET)

test: build
	ctest --preset $(PRESET)

asan-test:
	$(MAKE) test PRESET=asan

fuzz: deps
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS)
	scripts/run-fuzzers.sh build/fuzz $(or $(FUZZ_SECONDS),60)

# The tools and libraries under the install prefix, the filter and PPD where CUPS looks.
install-cups: build
	cmake --install build/$(PRESET)

bench: build
	scripts/run-benchmarks.sh build/$(PRESET)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
