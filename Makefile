# The two commands of the README:
#   make run   — install what is missing, build, and preview the sample EPS file
#   make test  — install what is missing, build, and run every test
# Also: make test-asan (the tests under AddressSanitizer and UndefinedBehaviorSanitizer),
#       make test-tsan (the logger and settings tests under ThreadSanitizer),
#       make fuzz (build the fuzz targets with clang and run each for FUZZ_SECONDS, 60 by default),
#       make bench (build the benchmark programs), make install PREFIX=/usr/local,
#       make package (a Debian package of the release build, build/release/vorrel_*.deb).

PREFIX ?= /usr/local
SAMPLE ?= resources/samples/vorrel-sample.eps
FUZZ_SECONDS ?= 60

.PHONY: deps run test test-asan test-tsan fuzz bench install package clean

deps:
	@scripts/install-deps

run: deps
	cmake --preset release
	cmake --build --preset release
	scripts/run-sample build/release/prefix "$(SAMPLE)"

test: deps
	cmake --preset dev
	cmake --build --preset dev
	ctest --preset dev

test-asan: deps
	cmake --preset asan
	cmake --build --preset asan
	ctest --preset asan

# Without address-space randomisation: ThreadSanitizer refuses some kernels' layouts.
test-tsan: deps
	cmake --preset tsan
	cmake --build --preset tsan
	setarch "$$(uname -m)" -R ctest --preset tsan

fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz
	FUZZ_SECONDS=$(FUZZ_SECONDS) scripts/run-fuzzers

bench: deps
	cmake --preset release
	cmake --build --preset release

install: deps
	cmake --preset release -DCMAKE_INSTALL_PREFIX="$(PREFIX)"
	cmake --build --preset release
	cmake --install build/release

package: deps
	cmake --preset release
	cmake --build --preset release --target package

clean:
	rm -rf build
