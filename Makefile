# One-command entry points: `make run` and `make test` install what is missing, configure, build
# incrementally, then run the main job or every test.

BUILD_DIR      ?= build
ASAN_BUILD_DIR ?= build-asan
FUZZ_BUILD_DIR ?= build-fuzz
TSAN_BUILD_DIR ?= build-tsan
DEB_BUILD_DIR  ?= build-deb
PREFIX         ?= /usr/local
FUZZ_SECONDS   ?= 10
FUZZ_LONG_SECONDS ?= 600
JOBS           ?= $(shell nproc)

export QT_QPA_PLATFORM ?= offscreen

.PHONY: all deps build run install uninstall deb test test-normal test-asan test-tsan test-fuzz test-package fuzz-long coverage \
	bench format clean

all: build

deps:
	@scripts/install-deps.sh

$(BUILD_DIR)/build.ninja:
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR) -j $(JOBS)

# PRINTER="-t eth -d 192.168.1.20:9100" reads that printer; without it a simulated one is read.
run: build
	scripts/run.sh $(BUILD_DIR) $(PRINTER)

# The installed files are listed in $(BUILD_DIR)/install_manifest.txt, which uninstall removes.
install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

uninstall:
	@test -f $(BUILD_DIR)/install_manifest.txt || { echo "nothing installed from $(BUILD_DIR)" >&2; exit 1; }
	xargs -d '\n' rm -fv < $(BUILD_DIR)/install_manifest.txt

# The Debian packages, built with the distribution's hardening flags into $(DEB_BUILD_DIR)/packages.
deb: deps
	scripts/build-deb.sh $(DEB_BUILD_DIR)

test: build
	$(MAKE) --no-print-directory test-normal test-asan test-tsan test-fuzz test-package

test-normal:
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

$(ASAN_BUILD_DIR)/build.ninja:
	cmake -S . -B $(ASAN_BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DDALVORA_SANITIZE=ON \
		-DDALVORA_BUILD_BENCH=OFF

# The build lists each suite's tests by running it: the window's suites need the leak suppressions for
# Qt's offscreen platform then too.
test-asan: deps $(ASAN_BUILD_DIR)/build.ninja
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp cmake --build $(ASAN_BUILD_DIR) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
		ctest --test-dir $(ASAN_BUILD_DIR) --output-on-failure -j $(JOBS)

# ThreadSanitizer for the window's job threads and for dalvoractl's parallel sessions (the fleet runner,
# and the instrumented dalvoractl against simulators): only those suites and what they link are built. Qt and GLib are not instrumented: calls they make into the C library (an eventfd written to
# wake another thread's event loop, a wait condition destroyed) are not counted as accesses
# (ignore_noninstrumented_modules), and the one report made inside Qt's code is suppressed
# (tests/tsan.supp says why).
TSAN_RUN_OPTIONS = TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:ignore_noninstrumented_modules=1:suppressions=$(CURDIR)/tests/tsan.supp

$(TSAN_BUILD_DIR)/build.ninja:
	cmake -S . -B $(TSAN_BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DDALVORA_SANITIZE_THREAD=ON \
		-DDALVORA_BUILD_BENCH=OFF -DDALVORA_BUILD_FUZZ=OFF

test-tsan: deps $(TSAN_BUILD_DIR)/build.ninja
	$(TSAN_RUN_OPTIONS) cmake --build $(TSAN_BUILD_DIR) -j $(JOBS) --target dalvora_gui_jobs_tests \
		dalvora_fleet_tests dalvora_ctl_e2e_tests
	$(TSAN_RUN_OPTIONS) $(TSAN_BUILD_DIR)/tests/gui/jobs/dalvora_gui_jobs_tests
	$(TSAN_RUN_OPTIONS) $(TSAN_BUILD_DIR)/tests/fleet/dalvora_fleet_tests
	$(TSAN_RUN_OPTIONS) $(TSAN_BUILD_DIR)/tests/e2e/dalvora_ctl_e2e_tests \
		--gtest_filter='CtlSession.FleetCarriesOnPastFailingPrinters:CtlUpgrade.FitPrintersAreUpgradedInParallelAndAudited'

$(FUZZ_BUILD_DIR)/build.ninja:
	CXX=clang++-14 cmake -S . -B $(FUZZ_BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DDALVORA_BUILD_FUZZ=ON -DDALVORA_BUILD_GUI=OFF -DDALVORA_BUILD_TESTS=OFF -DDALVORA_BUILD_BENCH=OFF \
		-DDALVORA_BUILD_SIM=OFF

test-fuzz: deps $(FUZZ_BUILD_DIR)/build.ninja
	cmake --build $(FUZZ_BUILD_DIR) -j $(JOBS)
	scripts/fuzz-smoke.sh $(FUZZ_BUILD_DIR) $(FUZZ_SECONDS)

# The campaign: every target FUZZ_LONG_SECONDS under ASan+UBSan, FUZZ_JOBS at a time; the corpora kept in
# fuzz/corpus gain the inputs that add coverage (commit them).
fuzz-long: deps $(FUZZ_BUILD_DIR)/build.ninja
	cmake --build $(FUZZ_BUILD_DIR) -j $(JOBS)
	scripts/fuzz-long.sh $(FUZZ_BUILD_DIR) $(FUZZ_LONG_SECONDS)

test-package: deb
	scripts/check-package.sh $(DEB_BUILD_DIR)

# Line and branch coverage of the core libraries from the normal suite (gcovr), in build-coverage/coverage.
coverage: deps
	scripts/coverage.sh build-coverage

bench: build
	@for b in $(BUILD_DIR)/bench/bench_*; do echo "== $$b"; $$b; done

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD_DIR) $(ASAN_BUILD_DIR) $(FUZZ_BUILD_DIR) $(TSAN_BUILD_DIR) $(DEB_BUILD_DIR)
