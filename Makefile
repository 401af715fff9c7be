# Kelvarin: `make run` builds and starts the program, `make test` builds and runs every
# test, `make bench` measures the renderer, `make package` builds the Debian package in
# build/. Each installs what it needs first.
JOBS ?= $(shell nproc)
BUILD := build
ASAN_BUILD := build-asan
FUZZ_BUILD := build-fuzz
TSAN_BUILD := build-tsan
WIN64_BUILD := build-win64
WIN32_BUILD := build-win32

# Every build compiles through ccache, which scripts/install-deps.sh installs. Paths
# under this directory are hashed relative to it, so a clone elsewhere finds the same
# cache.
CMAKE := cmake -DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache
export CCACHE_BASEDIR := $(CURDIR)
export CCACHE_NOHASHDIR := true
CTEST := ctest --output-on-failure
# Which of a build's tests a check runs: ONLY, those with a label that matches; SKIP,
# not those with a label that matches (regular expressions).
only_skip = $(if $(ONLY),-L '$(ONLY)') $(if $(SKIP),-LE '$(SKIP)')

# Each kind of build has three targets: build-KIND configures and builds it, check-KIND
# runs its tests (ONLY and SKIP pick some of them by label), and test-KIND does both.
# The Release build's are build, check-fast and test-fast.
.PHONY: deps build run test test-fast test-asan test-tsan test-fuzz test-windows bench package clean
.PHONY: builds sessions suites build-asan build-tsan build-fuzz build-win64 build-win32 fingerprint
.PHONY: check-fast check-asan check-tsan check-fuzz check-win64 check-win32

deps:
	@scripts/install-deps.sh

build: deps
	$(CMAKE) -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/kelvarin

# Every build first, two at a time, so that one's configuring, linking and test listing
# overlap the other's compiling; then the tests in two lanes side by side: the desktop
# sessions one at a time (a JACK server each, which must not meet another), and the
# other suites, the fuzzers and the Windows builds' tests, two at a time and niced, so
# that the sessions keep their real time. A test that runs in a desktop session carries
# the label desktop and so finds its lane by itself.
test: deps
	$(MAKE) -j 2 builds
	$(MAKE) -j 2 -k sessions suites

builds: build build-asan build-tsan build-fuzz build-win64 build-win32

sessions:
	$(MAKE) -j 1 -k check-fast check-asan check-tsan check-win64 check-win32 ONLY=desktop

suites:
	nice -n 10 $(MAKE) -j 2 -k check-fast check-asan check-tsan check-fuzz check-win64 check-win32 SKIP=desktop

test-fast: build
	$(MAKE) check-fast

check-fast:
	cd $(BUILD) && $(CTEST) $(only_skip)

build-asan: deps
	$(CMAKE) -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DKELVARIN_SANITIZE=ON -DKELVARIN_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)

test-asan: build-asan
	$(MAKE) check-asan

check-asan:
	cd $(ASAN_BUILD) && $(CTEST) $(if $(ONLY),-L '$(ONLY)') -LE 'slow$(if $(SKIP),|$(SKIP))'

# The desktop platform's threads (UI, audio, MIDI, and the helpers that open and close
# streams), the hand-over to the device's renderer, and the whole program once with all
# of them at work, under ThreadSanitizer.
TSAN_TARGETS := desktop_window_test desktop_platform_contract_test desktop_wave_out_test \
  desktop_server_faults_test audio_handover_test window_timers_test device_rendering_test \
  desktop_midi_test midi_ring_test kelvarin midi_test_source
build-tsan: deps
	$(CMAKE) -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DKELVARIN_TSAN=ON -DKELVARIN_BENCH=OFF
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target $(TSAN_TARGETS)

test-tsan: build-tsan
	$(MAKE) check-tsan

check-tsan:
	cd $(TSAN_BUILD) && TSAN_OPTIONS="halt_on_error=1 suppressions=$(CURDIR)/tests/desktop_tsan.supp" \
	  $(CTEST) -R '^(desktop_platform|desktop_midi|midi_flood_stop_and_close)|^(SampleFifo|BlockQueue|WindowTimers|MidiRing|RenderedPlaces|LiveRenderer)[.]' $(only_skip)

# Every fuzz target for a short fixed time, built with clang for libFuzzer.
build-fuzz: deps
	$(CMAKE) -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ -DKELVARIN_FUZZ=ON \
	  -DKELVARIN_SANITIZE=ON -DKELVARIN_DESKTOP=OFF -DKELVARIN_TESTS=OFF -DKELVARIN_BENCH=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target kelvarin_fuzzers

test-fuzz: build-fuzz
	$(MAKE) check-fuzz

check-fuzz:
	cd $(FUZZ_BUILD) && $(CTEST) -j $(JOBS) -L fuzz $(only_skip)

bench: build
	$(BUILD)/bench/render_bench
	$(BUILD)/bench/midi_throughput_bench
	$(BUILD)/bench/tool_render_bench $(BUILD)/kelvarin-render
	$(BUILD)/bench/plugin_bench

# The delay from a MIDI Note On to its sound, on the real program under dummy JACK
# servers of every period and through PulseAudio; SYSTEMS="jack-8192 pulse" picks some.
.PHONY: bench-latency
bench-latency: build
	bench/latency_by_system.sh $(CURDIR)/$(BUILD) $(SYSTEMS)

# How the output gives up a sound server that hangs or dies: times and CPU shares.
.PHONY: bench-faults
bench-faults: build
	bench/server_faults.sh $(CURDIR)/$(BUILD)

package: build
	cd $(BUILD) && cpack -G DEB

# Everything but the desktop program cross-compiled for 64- and 32-bit Windows with
# MinGW-w64, and its suites run under Wine; their samples are checked against those of
# the native build, whose sample printer `fingerprint` builds.
# $(call windows_build,build directory,target triple)
define windows_build
$(CMAKE) -S . -B $(1) -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-$(2).cmake \
  -DKELVARIN_NATIVE_BUILD=$(CURDIR)/$(BUILD)
cmake --build $(1) -j $(JOBS)
endef

fingerprint: deps
	$(CMAKE) -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS) --target render_fingerprint

build-win64: deps
	$(call windows_build,$(WIN64_BUILD),x86_64-w64-mingw32)

build-win32: deps
	$(call windows_build,$(WIN32_BUILD),i686-w64-mingw32)

test-windows: fingerprint build-win64 build-win32
	$(MAKE) check-win64 check-win32

check-win64:
	cd $(WIN64_BUILD) && $(CTEST) -j $(JOBS) $(only_skip)

check-win32:
	cd $(WIN32_BUILD) && $(CTEST) -j $(JOBS) $(only_skip)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD) $(WIN64_BUILD) $(WIN32_BUILD)
