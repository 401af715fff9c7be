# Kelvarin: `make run` builds and starts the program, `make test` builds and runs every
# test, `make bench` measures the renderer. Each installs what it needs first.
JOBS ?= $(shell nproc)
BUILD := build
ASAN_BUILD := build-asan

.PHONY: deps build run test test-fast test-asan bench clean

deps:
	@scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/kelvarin

test: test-fast test-asan

test-fast: build
	cd $(BUILD) && ctest --output-on-failure

test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DKELVARIN_SANITIZE=ON -DKELVARIN_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ctest --output-on-failure -LE slow

bench: build
	$(BUILD)/bench/render_bench
	$(BUILD)/bench/midi_throughput_bench

# The delay from a MIDI Note On to its sound, on the real program under a dummy JACK server.
.PHONY: bench-latency
bench-latency: build
	tests/with_desktop_session.sh bench/midi_latency.sh $(CURDIR)/$(BUILD)/kelvarin $(CURDIR)/$(BUILD)/bench/midi_latency

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
