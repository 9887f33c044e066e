# Entry points: make demo, make test, make bench.
SHELL := bash
NATIVE := build/native
WIN := build/win
JOBS ?= $(shell nproc)

# Test builds point the four web hosts at the local test server.
TEST_HOSTS := -DEnglishSiteHost=127.0.0.1:18080 -DRussianSiteHost=127.0.0.1:18080 \
              -DGermanSiteHost=127.0.0.1:18080 -DMainSiteHost=127.0.0.1:18080

.PHONY: all deps native win build test test-native test-win demo bench clean

all: build

deps:
	@scripts/install-deps

native: deps
	@cmake -S . -B $(NATIVE) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCORVALLO_FUZZ=ON >/dev/null
	@cmake --build $(NATIVE)

win: deps native
	@cmake -S . -B $(WIN) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake $(TEST_HOSTS) >/dev/null
	@cmake --build $(WIN)

build: native win

test-native: native
	ctest --test-dir $(NATIVE) --output-on-failure -j$(JOBS)

test-win: win
	ctest --test-dir $(WIN) --output-on-failure -j$(JOBS)

# Every test level: the pure rules natively (with the fuzz targets for a
# bounded time), then the Windows programs under Wine.
test: build
	ctest --test-dir $(NATIVE) --output-on-failure -j$(JOBS)
	ctest --test-dir $(WIN) --output-on-failure -j$(JOBS)

demo: build
	@scripts/demo

bench: build
	@bench/run-all

clean:
	rm -rf build
