# Front door of the project: `make demo` and `make test` do all the set-up on a fresh machine.
#   make test                    build and run every test
#   make test SANITIZE=address   the same under AddressSanitizer + UndefinedBehaviorSanitizer
#   make test SANITIZE=thread    the same under ThreadSanitizer
#   make demo                    build what the demo runs, then: oltmgr-sim on loopback driven by cmctl,
#                                capsheet on the sample capture, and its --check report on an OMCI session
#   make demo-runtime            the library's example hosts: the runtime tour and the CM client
#                                against an in-process OLT manager
#   make demo-scale              build optimised, then a library host against oltmgr-sim with 2048
#                                ONUs: ready, count, walk (against raw round trips), find by serial,
#                                a 10-second storm of 10,000 alarms a second (handled against sent)
#   make bench                   build optimised and run the benchmarks
#   make bench-smoke             run every benchmark once with the smallest counts, in the test build
#                                (fails when a benchmark stops or reports an error; no timing)
#   make install PREFIX=/opt/x   install headers, library, capsheet, cmctl, pkg-config and CMake files,
#                                the manual pages and cmctl's bash completion
#   make fuzz                    build the libFuzzer targets with clang (build-fuzz/)
#   make fuzz-run SECONDS=30     run each fuzz target that long over a copy of its seed corpus,
#                                one per core at a time
#   make package / package-test  build the four Debian packages in build-package/ (CPack): librelaykit1,
#                                librelaykit-dev, relaykit-tools, relaykit-wireshark; -test installs
#                                them into a throw-away root, uses them, removes them and checks it all
#   make abi-check               compare the library's ABI with the kept baseline (relaykit/abi/);
#                                fails on an incompatible change, naming the symbols
#   make abi-baseline            write the baseline and packaging/librelaykit1.symbols anew from the
#                                built library (after a compatible addition or a soname bump)
#   make dissector-names         regenerate the Wireshark dissector's name tables from the C headers
#   make coverage                gcov build (build-coverage/), every test, line and branch coverage of
#                                the library and capsheet; fails below tools/coverage-threshold
#   make faults                  only the fault-injection tests (failing allocations, full tables,
#                                a datagram flood); SANITIZE=address|thread works here too
# Every target first runs tools/bootstrap.sh, which installs what is missing (as root) or says
# what to install.

SANITIZE ?=
PREFIX ?= /usr/local
JOBS ?= $(shell nproc)
BUILD_DIR := build$(if $(SANITIZE),-$(SANITIZE))
BENCH_DIR := build-bench
FUZZ_DIR := build-fuzz
PACKAGE_DIR := build-package
COVERAGE_DIR := build-coverage
SECONDS ?= 30

# The programs `make demo` and `make demo-runtime` run, and all they build.
DEMO_TARGETS := oltmgr-sim cmctl capsheet gen-capture
DEMO_RUNTIME_TARGETS := relaykit_demo relaykit_cm_demo
# The targets that carry install rules.
INSTALL_TARGETS := relayKit capsheet cmctl relaykit_manual_pages

# Developer and CI builds treat every warning as an error; a plain cmake build does not.
CMAKE_FLAGS := -G Ninja -DRELAYKIT_WERROR=ON
# What the bootstrap checks for: "all" (build, tests, benchmarks) or "build".
BOOTSTRAP_SCOPE := all

.PHONY: all build test demo demo-runtime demo-scale bench bench-smoke install clean bootstrap fuzz fuzz-run package package-test dissector-names coverage faults abi-check abi-baseline

all: build

bootstrap:
	@bash tools/bootstrap.sh $(BOOTSTRAP_SCOPE)

# build.ninja is written only by a configure step that succeeded, so a failed configure is simply
# run again next time.
$(BUILD_DIR)/build.ninja: | bootstrap
	cmake -S . -B $(BUILD_DIR) $(CMAKE_FLAGS) -DRELAYKIT_SANITIZE=$(SANITIZE)

$(BENCH_DIR)/build.ninja: | bootstrap
	cmake -S . -B $(BENCH_DIR) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF

build: $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR) -j $(JOBS)

# A tree configured before GoogleTest was installed (by `make install`, say) has no tests yet.
test: $(BUILD_DIR)/build.ninja
	@test -d $(BUILD_DIR)/tests || cmake $(BUILD_DIR)
	cmake --build $(BUILD_DIR) -j $(JOBS)
	ctest --test-dir $(BUILD_DIR) -j $(JOBS) --output-on-failure --no-tests=error

demo: $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR) -j $(JOBS) --target $(DEMO_TARGETS)
	bash tools/demo.sh $(BUILD_DIR)

demo-runtime: $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR) -j $(JOBS) --target $(DEMO_RUNTIME_TARGETS)
	cd $(BUILD_DIR) && ./examples/relaykit_demo
	@echo
	cd $(BUILD_DIR) && ./examples/relaykit_cm_demo

demo-scale: $(BENCH_DIR)/build.ninja
	cmake --build $(BENCH_DIR) -j $(JOBS) --target sim_scale_bench
	$(BENCH_DIR)/bench/sim_scale_bench

bench: $(BENCH_DIR)/build.ninja
	cmake --build $(BENCH_DIR) -j $(JOBS)
	bash tools/run-benchmarks.sh $(BENCH_DIR)

bench-smoke: $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR) -j $(JOBS)
	bash tools/run-benchmarks.sh $(BUILD_DIR) --smoke

install: BOOTSTRAP_SCOPE := build
install: $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR) -j $(JOBS) --target $(INSTALL_TARGETS)
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

# The fault-injection test programs; their tests carry the ctest label "faults".
FAULT_TARGETS := faults_alloc_failure_test faults_table_exhaustion_test faults_datagram_flood_test

faults: $(BUILD_DIR)/build.ninja
	@test -d $(BUILD_DIR)/tests || cmake $(BUILD_DIR)
	cmake --build $(BUILD_DIR) -j $(JOBS) --target $(FAULT_TARGETS)
	ctest --test-dir $(BUILD_DIR) -j $(JOBS) -L faults --output-on-failure --no-tests=error

clean:
	rm -rf build build-address build-thread $(BENCH_DIR) $(FUZZ_DIR) $(PACKAGE_DIR) $(COVERAGE_DIR)

$(FUZZ_DIR)/build.ninja: | bootstrap
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) $(CMAKE_FLAGS) -DRELAYKIT_FUZZ=ON \
		-DBUILD_TESTING=OFF -DRELAYKIT_BENCH=OFF

fuzz: $(FUZZ_DIR)/build.ninja
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target relaykit_fuzz

fuzz-run: fuzz
	bash fuzz/run.sh $(FUZZ_DIR) $(SECONDS)

# The Debian package: an optimised build with Debian's hardening flags (CMake reads CFLAGS, CXXFLAGS
# and LDFLAGS but not CPPFLAGS, so those go in front of the compile flags), installed under /usr.
$(PACKAGE_DIR)/build.ninja: | bootstrap
	eval "$$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)" && \
	CFLAGS="$$CPPFLAGS $$CFLAGS" CXXFLAGS="$$CPPFLAGS $$CXXFLAGS" \
	cmake -S . -B $(PACKAGE_DIR) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
		-DRELAYKIT_DEBIAN_PACKAGE=ON -DBUILD_TESTING=OFF -DRELAYKIT_BENCH=OFF

package: $(PACKAGE_DIR)/build.ninja
	cmake --build $(PACKAGE_DIR) -j $(JOBS)
	cd $(PACKAGE_DIR) && cpack

package-test: package
	bash tests/package/package_test.sh $(PACKAGE_DIR)

# The ABI of the library in the developer build (which carries the debug information abidw reads).
abi-check: $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR) -j $(JOBS) --target relaykit_abi_check

abi-baseline: $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR) -j $(JOBS) --target relaykit_abi_baseline

# The enumerator tables of tools/wireshark/relaykit-cm.lua, from the C headers (needs only a C++
# compiler; the dissector test fails while they are stale).
dissector-names:
	bash tools/names/gen-cm-names.sh --update

# Coverage: an unoptimised gcov build of its own; the counters of an earlier run are cleared first,
# so the figures are this run's alone.
$(COVERAGE_DIR)/build.ninja: | bootstrap
	cmake -S . -B $(COVERAGE_DIR) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Debug -DRELAYKIT_COVERAGE=ON \
		-DRELAYKIT_BENCH=OFF

coverage: $(COVERAGE_DIR)/build.ninja
	cmake --build $(COVERAGE_DIR) -j $(JOBS)
	find $(COVERAGE_DIR) -name '*.gcda' -delete
	ctest --test-dir $(COVERAGE_DIR) -j $(JOBS) --output-on-failure --no-tests=error
	bash tools/coverage.sh $(COVERAGE_DIR)
