# SPDX-License-Identifier: GPL-3.0-or-later
# The two everyday commands: `make run` and `make test`.
BUILD ?= build
BUILD_TYPE ?= RelWithDebInfo
PREFIX ?= /usr/local
JOBS ?= $(shell nproc)

.PHONY: all deps configure build run test test-sanitize fuzz bench bench-window install package format clean

all: build

deps:
	./scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DQUIRLBILD_WERROR=ON

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/src/app/quirlbild

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Every test again, built with AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer; then
# the renderer's and rasteriser's tests with ThreadSanitizer, for the strips drawn in parallel, the
# posters packed while their next band is drawn, and the long drawings that look at waiting events
# while their strips are drawn.
test-sanitize: deps
	cmake -S . -B $(BUILD)-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUIRLBILD_SANITIZE=ON -DQUIRLBILD_WERROR=ON
	cmake --build $(BUILD)-sanitize -j $(JOBS)
	cd $(BUILD)-sanitize && \
	  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:allocator_may_return_null=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS)
	cmake -S . -B $(BUILD)-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUIRLBILD_TSAN=ON -DQUIRLBILD_WERROR=ON
	cmake --build $(BUILD)-tsan -j $(JOBS) --target pattern_test raster_test picturefile_test window_test
	TSAN_OPTIONS=halt_on_error=1 QT_QPA_PLATFORM=offscreen $(BUILD)-tsan/tests/pattern_test
	TSAN_OPTIONS=halt_on_error=1 QT_QPA_PLATFORM=offscreen $(BUILD)-tsan/tests/raster_test
	TSAN_OPTIONS=halt_on_error=1 QT_QPA_PLATFORM=offscreen $(BUILD)-tsan/tests/picturefile_test \
	  --gtest_filter='*Poster*'
	TSAN_OPTIONS=halt_on_error=1:suppressions=$(CURDIR)/tests/tsan.supp QT_QPA_PLATFORM=offscreen \
	  $(BUILD)-tsan/tests/window_test \
	  --gtest_filter='LongDrawing.*:*CancelledPoster*'

# The libFuzzer targets, built with clang, each run for FUZZ_SECONDS from the committed seeds.
FUZZ_SECONDS ?= 20
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(BUILD)-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUIRLBILD_FUZZ=ON -DQUIRLBILD_WERROR=ON
	cmake --build $(BUILD)-fuzz -j $(JOBS)
	for target in val differential raster; do \
	  mkdir -p $(BUILD)-fuzz/corpus/$$target && \
	  $(BUILD)-fuzz/fuzz/$${target}_fuzzer -max_total_time=$(FUZZ_SECONDS) -timeout=10 \
	    -print_final_stats=1 $(BUILD)-fuzz/corpus/$$target fuzz/corpus/$$target || exit 1; \
	done

bench: build
	./$(BUILD)/bench/quirlbild_bench
	./$(BUILD)/bench/quirlbild_poster_bench

# The real window against a naive peer under a private Xvfb, at screen scales 1 and 2.
bench-window: build
	./$(BUILD)/bench/quirlbild_window_bench --benchmark_report_aggregates_only=true

# Honours DESTDIR and PREFIX: make install DESTDIR=/tmp/stage PREFIX=/usr
install: build
	DESTDIR=$(DESTDIR) cmake --install $(BUILD) --prefix $(PREFIX)

# A Debian package in $(BUILD): sudo apt install ./$(BUILD)/quirlbild_*_amd64.deb
package: build
	cd $(BUILD) && cpack

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD)
