# Front door of the project: `make demo` and `make test` do all the set-up on a fresh machine.
#   make test                    build and run every test
#   make test SANITIZE=address   the same under AddressSanitizer + UndefinedBehaviorSanitizer
#   make test SANITIZE=thread    the same under ThreadSanitizer
#   make demo                    build and run the demo host on its built-in defaults
#   make bench                   build optimised and run the benchmarks
#   make install PREFIX=/opt/x   install headers, library, capsheet, pkg-config and CMake files
#   make fuzz                    build the libFuzzer targets with clang (build-fuzz/)
#   make fuzz-run SECONDS=30     run each fuzz target that long over a copy of its seed corpus

SANITIZE ?=
PREFIX ?= /usr/local
JOBS ?= $(shell nproc)
BUILD_DIR := build$(if $(SANITIZE),-$(SANITIZE))
BENCH_DIR := build-bench
FUZZ_DIR := build-fuzz
SECONDS ?= 30
GENERATOR := $(shell command -v ninja >/dev/null 2>&1 && echo Ninja || echo "Unix Makefiles")

.PHONY: all build test demo bench install clean fuzz fuzz-run

all: build

$(BUILD_DIR)/CMakeCache.txt:
	cmake -S . -B $(BUILD_DIR) -G "$(GENERATOR)" -DRELAYKIT_SANITIZE=$(SANITIZE)

build: $(BUILD_DIR)/CMakeCache.txt
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD_DIR) -j $(JOBS) --output-on-failure

demo: build
	cd $(BUILD_DIR) && ./examples/relaykit_demo
	@echo
	@echo "== capsheet: the sample OMCI capture to CSV"
	cd $(BUILD_DIR) && ./capsheet/capsheet ../examples/omci-sample.pcap omci-sample.csv && head -4 omci-sample.csv

$(BENCH_DIR)/CMakeCache.txt:
	cmake -S . -B $(BENCH_DIR) -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF

bench: $(BENCH_DIR)/CMakeCache.txt
	cmake --build $(BENCH_DIR) -j $(JOBS)
	bash tools/run-benchmarks.sh $(BENCH_DIR)

install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

clean:
	rm -rf build build-address build-thread $(BENCH_DIR)

$(FUZZ_DIR)/CMakeCache.txt:
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) -G "$(GENERATOR)" -DRELAYKIT_FUZZ=ON \
		-DBUILD_TESTING=OFF -DRELAYKIT_BENCH=OFF

fuzz: $(FUZZ_DIR)/CMakeCache.txt
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target relaykit_fuzz

fuzz-run: fuzz
	bash fuzz/run.sh $(FUZZ_DIR) $(SECONDS)
