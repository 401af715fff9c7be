# Kelvarin: `make run` builds and starts the program, `make test` builds and runs every
# test, `make bench` measures the renderer, `make package` builds the Debian package in
# build/. Each installs what it needs first.
JOBS ?= $(shell nproc)
BUILD := build
ASAN_BUILD := build-asan
FUZZ_BUILD := build-fuzz
TSAN_BUILD := build-tsan

.PHONY: deps build run test test-fast test-asan test-tsan test-fuzz test-windows bench package clean

deps:
	@scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/kelvarin

test: test-fast test-asan test-tsan test-fuzz test-windows

test-fast: build
	cd $(BUILD) && ctest --output-on-failure

test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DKELVARIN_SANITIZE=ON -DKELVARIN_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ctest --output-on-failure -LE slow

# The desktop platform's threads (UI, audio, and the helpers that open and close
# streams) and the hand-over to the device's renderer under ThreadSanitizer.
test-tsan: deps
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DKELVARIN_TSAN=ON -DKELVARIN_BENCH=OFF
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target desktop_platform_test device_rendering_test
	cd $(TSAN_BUILD) && TSAN_OPTIONS="halt_on_error=1 suppressions=$(CURDIR)/tests/desktop_tsan.supp" \
	  ctest --output-on-failure -R 'desktop_platform|RenderedPlaces|LiveRenderer'

# Every fuzz target for a short fixed time, built with clang for libFuzzer.
test-fuzz: deps
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ -DKELVARIN_FUZZ=ON \
	  -DKELVARIN_SANITIZE=ON -DKELVARIN_DESKTOP=OFF -DKELVARIN_TESTS=OFF -DKELVARIN_BENCH=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target kelvarin_fuzzers
	cd $(FUZZ_BUILD) && ctest --output-on-failure -L fuzz

bench: build
	$(BUILD)/bench/render_bench
	$(BUILD)/bench/midi_throughput_bench

# The delay from a MIDI Note On to its sound, on the real program under dummy JACK
# servers of every period and through PulseAudio; SYSTEMS="jack-8192 pulse" picks some.
.PHONY: bench-latency
bench-latency: build
	bench/latency_by_system.sh $(CURDIR)/$(BUILD) $(SYSTEMS)

package: build
	cd $(BUILD) && cpack -G DEB

# Everything but the desktop program cross-compiled for 64- and 32-bit Windows with
# MinGW-w64, and its suites run under Wine; their samples are checked against those of
# the native build.
WIN64_BUILD := build-win64
WIN32_BUILD := build-win32
# $(call windows_suites,build directory,target triple)
define windows_suites
cmake -S . -B $(1) -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-$(2).cmake \
  -DKELVARIN_NATIVE_BUILD=$(CURDIR)/$(BUILD)
cmake --build $(1) -j $(JOBS)
cd $(1) && ctest --output-on-failure -j $(JOBS)
endef

test-windows: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS) --target render_fingerprint
	$(call windows_suites,$(WIN64_BUILD),x86_64-w64-mingw32)
	$(call windows_suites,$(WIN32_BUILD),i686-w64-mingw32)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD) $(WIN64_BUILD) $(WIN32_BUILD)
